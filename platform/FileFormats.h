#pragma once

#include <string>

namespace velmora {

// The kinds of file the editor opens and saves.
enum class FileKind { Wav, Mp3, Wma, Flac, Ogg, Opus, M4a, Aac, Aiff };

// How a source of the kind becomes the working file.
enum class OpenPath {
    CopyWave,  // copied byte for byte, its peaks scanned from the source meanwhile
    Decode,    // decoded by the one decoder, in segments where the stream allows
};

// Where a file of the kind keeps its tags (TagLib's file type for it).
enum class TagContainer { None, Mpeg, Asf, RiffWave, Flac, OggVorbis, OggOpus, Mp4, RiffAiff };

// How the working file becomes a file of the kind.
enum class SavePath {
    CopyWorkFile,  // the working file as it is
    Mp3Encoder,    // the MP3 encoder plugin
    WmaEncoder,    // the WMA writer plugin
    Encoder,       // an FFmpeg encoder and muxer, named by the row
    NotSaved,      // opened only: not offered for saving (a name of the kind is saved as WAV)
};

// One row per kind, in the order of the file dialogs' type entries: the
// open and the save, the decoder's demuxer, the tags' container, the
// dialogs' filters, the help texts, the completion of a name typed without
// an extension and the desktop entry's types all follow this table.
struct FileFormat {
    FileKind Kind;
    const char* Extension;  // ".wav", matched in any case; the one a save adds
    const char* Label;      // the dialogs' "WAV Files(*.wav)"
    const char* MimeTypes;  // the desktop entry's types for it, each ending in ';'
    const char* Demuxer;    // FFmpeg's demuxer, the only one a file of the kind is opened with
    TagContainer Tags;
    OpenPath OpenBy;
    SavePath SaveBy;
    const char* OtherExtension = nullptr;  // a second name of the kind (".oga"), or none
    const char* Encoder = nullptr;         // SavePath::Encoder: FFmpeg's encoder
    const char* Muxer = nullptr;           // and muxer
};
inline constexpr FileFormat FileFormats[] = {
    {FileKind::Wav, ".wav", "WAV", "audio/x-wav;audio/wav;audio/vnd.wave;", "wav", TagContainer::RiffWave,
     OpenPath::CopyWave, SavePath::CopyWorkFile},
    {FileKind::Mp3, ".mp3", "MP3", "audio/mpeg;", "mp3", TagContainer::Mpeg, OpenPath::Decode, SavePath::Mp3Encoder},
    {FileKind::Wma, ".wma", "WMA", "audio/x-ms-wma;video/x-ms-asf;", "asf", TagContainer::Asf, OpenPath::Decode,
     SavePath::WmaEncoder},
    {FileKind::Flac, ".flac", "FLAC", "audio/flac;audio/x-flac;", "flac", TagContainer::Flac, OpenPath::Decode,
     SavePath::Encoder, nullptr, "flac", "flac"},
    {FileKind::Ogg, ".ogg", "Ogg Vorbis", "audio/ogg;audio/x-vorbis+ogg;", "ogg", TagContainer::OggVorbis,
     OpenPath::Decode, SavePath::Encoder, ".oga", "libvorbis", "ogg"},
    {FileKind::Opus, ".opus", "Opus", "audio/x-opus+ogg;", "ogg", TagContainer::OggOpus, OpenPath::Decode,
     SavePath::Encoder, nullptr, "libopus", "opus"},
    {FileKind::M4a, ".m4a", "M4A", "audio/mp4;audio/x-m4a;", "mov", TagContainer::Mp4, OpenPath::Decode,
     SavePath::NotSaved},
    {FileKind::Aac, ".aac", "AAC", "audio/aac;audio/x-aac;", "aac", TagContainer::None, OpenPath::Decode,
     SavePath::NotSaved},
    {FileKind::Aiff, ".aiff", "AIFF", "audio/x-aiff;audio/aiff;", "aiff", TagContainer::RiffAiff, OpenPath::Decode,
     SavePath::NotSaved, ".aif"},
};

// The dialogs' entries have always been every supported file, WAV, MP3,
// WMA and every file, numbered 1 to 5 (a language file's filter says them
// so, and a save's name completion goes by the number).  The formats after
// the first three rows come after those five entries.
inline constexpr int FormatsBeforeAllFiles = 3;

// The format of path by its extension (any case); nullptr for none.
const FileFormat* FormatOf(const std::string& path);

// The extensions of the kinds the editor opens, or (encoded) of those a
// save encodes, as a help text lists them: ".wav, .mp3, .wma, ..." (each
// kind's second name too).
std::string ExtensionsText(bool encoded = false);

// False for a name of a kind that is opened only (.m4a): a save would
// write the WAV working file under it.
bool IsSavedUnder(const std::string& path);

// The format a file dialog's type entry (numbered from 1) stands for:
// the first entry is every supported file, then the first three formats,
// then every file, then the other formats the dialog offers (saving: those
// that are saved); nullptr for the two that are no format.
const FileFormat* FormatOfFilterEntry(int filterIndex, bool saving = true);

// The file dialogs' filter in the "Caption|*.a;*.b|..." form, as the
// program gives it when a language file does not:
// "All Support Files(*.wav;*.mp3;...)|*.wav;*.mp3;...|WAV Files(*.wav)|
// *.wav|...|All Files(*.*)|*.*|FLAC Files(*.flac)|*.flac|...".
std::string DefaultFileFilter(bool saving = true);

// A language file's filter with the formats it does not name yet: their
// patterns joined to its first entry's, their entries after its last.
std::string FilterWithEveryFormat(const std::string& filter, bool saving);

} // namespace velmora
