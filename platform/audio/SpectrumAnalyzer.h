#pragma once

extern "C" {
#include <libavutil/tx.h>
}

#include <memory>

namespace velmora {

// 512 magnitudes of a Hann-windowed 1024-point real FFT (libavutil's
// av_tx).  Input samples are full scale at +-1.0; the magnitudes are
// scaled by 4 / 1024, so that a full-scale sine in the middle of a bin gives
// about 1.0 there (the window halves the sine's N/2 peak).
class SpectrumAnalyzer {
public:
    static constexpr int Size = 1024;
    static constexpr int Bins = 512;

    SpectrumAnalyzer();
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    bool IsValid() const { return context_ != nullptr; }

    // samples: Size values; magnitudes: Bins values.
    void Analyze(const float* samples, float* magnitudes);

private:
    AVTXContext* context_ = nullptr;
    av_tx_fn transform_ = nullptr;
    float* input_ = nullptr;
    AVComplexFloat* output_ = nullptr;
    float window_[Size];
};

} // namespace velmora
