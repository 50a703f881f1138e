// libFuzzer target: any bytes as a working file, saved as WAV and as MP3
// (through a stand-in encoder plugin that keeps nothing).  The document is
// taken from whatever the header claims - also channel counts and rates
// the reading rules refuse - so that the save's feed meets hostile values.
// Nothing may read or write out of bounds or allocate from a header field,
// and no temporary output may be left behind.

#include "SilentDialogs.h"

#include "document/Document.h"
#include "export/SaveBody.h"
#include "document/WorkFileFormat.h"
#include "platform/File.h"
#include "platform/PrivateTempFolder.h"
#include "platform/Progress.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velmora::PrivateTempFolder folder;
    velmora::Document doc;
    doc.WorkFile = folder.Path() + "AudioTemp.wav";
    {
        std::ofstream out(doc.WorkFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    velmora::WaveHeader header;
    {
        velmora::File file = velmora::File::Open(doc.WorkFile, velmora::File::Mode::Read);
        velmora::ReadWaveHeader(file, header);
    }
    if (header.DataSize == 0 || header.Channels <= 0 || (header.BitsPerSample != 8 && header.BitsPerSample != 16))
        return 0;
    doc.Channels = header.Channels;
    doc.SampleRate = header.SampleRate;
    doc.BitsPerSample = header.BitsPerSample;
    doc.DataOffset = header.DataOffset;
    doc.DataSize = header.DataSize;
    doc.DataEnd = header.DataEnd;
    doc.FrameSize = velmora::FrameSizeFor(doc.BitsPerSample, doc.Channels);
    doc.TotalFrames = doc.DataSize / static_cast<std::uint32_t>(doc.FrameSize);
    doc.ProgramFolder = VELMORA_FAKE_PLUGIN_DIR "full/";
    doc.SourceBitrate = 128;

    velmora::fuzz::SilentDialogs dialogs;
    velmora::NullProgress progress;
    for (const char* name : {"out.mp3", "out.wav"}) {
        const std::string destination = folder.Path() + name;
        velmora::RunSaveBody(doc, destination, progress, dialogs);
        if (std::filesystem::exists(velmora::TemporaryOutputName(destination)))
            std::abort();  // a save never leaves its temporary output
        std::filesystem::remove(destination);
    }
    return 0;
}
