#include "Media.h"

#include "Process.h"

#include <cmath>
#include <sstream>

namespace velmora::test {

StreamFacts Probe(const std::string& path)
{
    const auto r = RunProcess({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                               "stream=codec_name,sample_rate,channels,bit_rate", "-of", "default=nw=1", path});
    StreamFacts facts;
    std::istringstream lines(r.Out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "codec_name")
            facts.Codec = value;
        else if (key == "sample_rate")
            facts.SampleRate = std::atoi(value.c_str());
        else if (key == "channels")
            facts.Channels = std::atoi(value.c_str());
        else if (key == "bit_rate" && value != "N/A")
            facts.BitRate = std::atol(value.c_str());
    }
    return facts;
}

std::vector<std::int16_t> DecodeWithFfmpeg(const std::string& path)
{
    const auto r = RunProcess({"ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-"});
    std::vector<std::int16_t> samples(r.Out.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<unsigned char>(r.Out[2 * i]) |
                                               (static_cast<unsigned char>(r.Out[2 * i + 1]) << 8));
    return samples;
}

double SnrDb(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test, int channels,
             std::size_t offsetFrames)
{
    double signal = 0;
    double noise = 0;
    const std::size_t offset = offsetFrames * static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < reference.size() && i + offset < test.size(); ++i) {
        const double s = reference[i];
        const double d = static_cast<double>(test[i + offset]) - s;
        signal += s * s;
        noise += d * d;
    }
    return noise == 0 ? 200.0 : 10.0 * std::log10(signal / noise);
}

} // namespace velmora::test
