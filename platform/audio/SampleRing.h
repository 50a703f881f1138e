#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// A single-producer, single-consumer ring of 16-bit samples: the feeder
// thread pushes, the device callback pops, neither ever waits for the other.
// Clear() may only run while neither side is active.
class SampleRing {
public:
    explicit SampleRing(std::size_t capacity) : buffer_(capacity + 1) {}

    std::size_t Capacity() const { return buffer_.size() - 1; }

    // Empties the ring and gives it a new capacity; only while neither side
    // is active.
    void Reset(std::size_t capacity)
    {
        buffer_.assign(capacity + 1, 0);
        Clear();
    }

    std::size_t Available() const
    {
        const std::size_t w = write_.load(std::memory_order_acquire);
        const std::size_t r = read_.load(std::memory_order_acquire);
        return w >= r ? w - r : w + buffer_.size() - r;
    }

    std::size_t Free() const { return Capacity() - Available(); }

    // Producer: copies count samples in; the caller checked Free().
    void Push(const std::int16_t* samples, std::size_t count)
    {
        std::size_t w = write_.load(std::memory_order_relaxed);
        for (std::size_t i = 0; i < count; ++i) {
            buffer_[w] = samples[i];
            w = (w + 1 == buffer_.size()) ? 0 : w + 1;
        }
        write_.store(w, std::memory_order_release);
    }

    // Consumer: takes up to count samples; returns how many.
    std::size_t Pop(std::int16_t* samples, std::size_t count)
    {
        std::size_t r = read_.load(std::memory_order_relaxed);
        const std::size_t w = write_.load(std::memory_order_acquire);
        std::size_t n = 0;
        while (n < count && r != w) {
            samples[n++] = buffer_[r];
            r = (r + 1 == buffer_.size()) ? 0 : r + 1;
        }
        read_.store(r, std::memory_order_release);
        return n;
    }

    void Clear()
    {
        read_.store(0, std::memory_order_release);
        write_.store(0, std::memory_order_release);
    }

private:
    std::vector<std::int16_t> buffer_;
    std::atomic<std::size_t> write_{0};
    std::atomic<std::size_t> read_{0};
};

} // namespace velmora
