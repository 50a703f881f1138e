#pragma once

#include <string>

namespace velmora {

// The kinds of file the editor opens and saves.
enum class FileKind { Wav, Mp3, Wma };

// How a source of the kind becomes the working file.
enum class OpenPath {
    CopyWave,  // copied byte for byte, its peaks scanned from the source meanwhile
    Decode,    // decoded by the one decoder, in segments where the stream allows
};

// How the working file becomes a file of the kind.
enum class SavePath {
    CopyWorkFile,  // the working file as it is
    Mp3Encoder,    // the MP3 encoder plugin
    WmaEncoder,    // the WMA writer plugin
};

// One row per kind, in the order of the file dialogs' type entries: the
// open and the save, the dialogs' filters, the completion of a name typed
// without an extension and the desktop entry's types all follow this table.
struct FileFormat {
    FileKind Kind;
    const char* Extension;  // ".wav", matched in any case
    const char* Label;      // the dialogs' "WAV Files(*.wav)"
    const char* MimeTypes;  // the desktop entry's types for it, each ending in ';'
    OpenPath OpenBy;
    SavePath SaveBy;
};
inline constexpr FileFormat FileFormats[] = {
    {FileKind::Wav, ".wav", "WAV", "audio/x-wav;audio/wav;audio/vnd.wave;", OpenPath::CopyWave, SavePath::CopyWorkFile},
    {FileKind::Mp3, ".mp3", "MP3", "audio/mpeg;", OpenPath::Decode, SavePath::Mp3Encoder},
    {FileKind::Wma, ".wma", "WMA", "audio/x-ms-wma;video/x-ms-asf;", OpenPath::Decode, SavePath::WmaEncoder},
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
