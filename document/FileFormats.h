#pragma once

#include <string>

namespace velmora {

// The kinds of file the editor opens and saves.
enum class FileKind { Wav, Mp3, Wma };

// One row per kind, in the order of the file dialogs' type entries: the
// open and the save, the dialogs' filters and the completion of a name
// typed without an extension all read this table.
struct FileFormat {
    FileKind Kind;
    const char* Extension;  // ".wav", matched in any case
    const char* Label;      // the dialogs' "WAV Files(*.wav)"
};
inline constexpr FileFormat FileFormats[] = {
    {FileKind::Wav, ".wav", "WAV"},
    {FileKind::Mp3, ".mp3", "MP3"},
    {FileKind::Wma, ".wma", "WMA"},
};

// The format of path by its extension (any case); nullptr for none.
const FileFormat* FormatOf(const std::string& path);

// The format a file dialog's type entry (numbered from 1) stands for: the
// first entry is every supported file, then one entry per format, then
// every file; nullptr for those two.
const FileFormat* FormatOfFilterEntry(int filterIndex);

// The file dialogs' filter in the "Caption|*.a;*.b|..." form, as the
// program gives it when a language file does not:
// "All Support Files(*.wav;*.mp3;*.wma)|*.wav;*.mp3;*.wma|WAV Files(*.wav)|
// *.wav|...|All Files(*.*)|*.*".
std::string DefaultFileFilter();

} // namespace velmora
