#include "SpectrumAnalyzer.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <cmath>
#include <numbers>

namespace velmora {

SpectrumAnalyzer::SpectrumAnalyzer()
{
    float scale = 4.0f / Size;
    if (av_tx_init(&context_, &transform_, AV_TX_FLOAT_RDFT, 0, Size, &scale, 0) < 0) {
        context_ = nullptr;
        return;
    }
    input_ = static_cast<float*>(av_malloc(Size * sizeof(float)));
    output_ = static_cast<AVComplexFloat*>(av_malloc((Size / 2 + 1) * sizeof(AVComplexFloat)));
    for (int n = 0; n < Size; ++n)
        window_[n] = 0.5f * (1.0f - std::cos(2.0f * std::numbers::pi_v<float> * n / Size));
}

SpectrumAnalyzer::~SpectrumAnalyzer()
{
    av_tx_uninit(&context_);
    av_free(input_);
    av_free(output_);
}

void SpectrumAnalyzer::Analyze(const float* samples, float* magnitudes)
{
    if (context_ == nullptr || input_ == nullptr || output_ == nullptr) {
        for (int k = 0; k < Bins; ++k)
            magnitudes[k] = 0;
        return;
    }
    for (int n = 0; n < Size; ++n)
        input_[n] = samples[n] * window_[n];
    transform_(context_, output_, input_, sizeof(float));
    for (int k = 0; k < Bins; ++k)
        magnitudes[k] = std::hypot(output_[k].re, output_[k].im);
}

} // namespace velmora
