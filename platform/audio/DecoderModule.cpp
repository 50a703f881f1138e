// DecodeChannel's opening functions: they load the decoder module on first
// use and go through its entry point.

#include "DecodeChannel.h"

#include "platform/PathText.h"
#include "platform/PluginLibrary.h"

#include <cstdio>

namespace velmora {

namespace {

OpenDecodeChannelFunction LoadDecoder()
{
    // Loaded once and never unloaded: channels it made may sit in static
    // tables until the very end of the program.  FFmpeg's libraries bind
    // their functions as they are first called, as they would had the
    // program been linked with them.
    static PluginLibrary* const module =
        new PluginLibrary(ExecutableFolder(), DecoderModuleName, PluginLibrary::Binding::AtFirstCall);
    const auto open = module->ResolveFunction<OpenDecodeChannelFunction>(OpenDecodeChannelSymbol);
    if (open == nullptr && ExecutableFolder().empty())
        std::fprintf(stderr, "velmora: the decoder module %s is not loaded: the program's own folder cannot be found\n",
                     DecoderModuleName);
    else if (open == nullptr)
        std::fprintf(stderr, "velmora: the decoder module %s could not be loaded from %s\n", DecoderModuleName,
                     ExecutableFolder().c_str());
    return open;
}

std::unique_ptr<DecodeChannel> OpenThroughModule(const std::string& path, int segment, std::uint64_t firstByte,
                                                 std::uint64_t endByte)
{
    static const OpenDecodeChannelFunction open = LoadDecoder();
    if (open == nullptr)
        return nullptr;
    return std::unique_ptr<DecodeChannel>(open(path.c_str(), segment, firstByte, endByte));
}

} // namespace

std::unique_ptr<DecodeChannel> DecodeChannel::Open(const std::string& path)
{
    return OpenThroughModule(path, 0, 0, 0);
}

std::unique_ptr<DecodeChannel> DecodeChannel::OpenSegment(const std::string& path, std::uint64_t firstByte,
                                                          std::uint64_t endByte)
{
    return OpenThroughModule(path, 1, firstByte, endByte);
}

} // namespace velmora
