#pragma once

// The audio library the editor is written against: decoding streams for
// MP3 and WMA input, one playback stream on the working WAV file, output
// to the default device, FFT and level data of what is being heard.
//
// Built over FFmpeg (decoding, resampling, FFT) and SDL2 (output).  The
// operations keep the names, arguments and results their callers rely on.
// Positions and lengths are bytes of the stream: for a decoding stream the
// bytes of PCM it delivers, for a playback stream the bytes of the file's
// own PCM payload.  Calls on handle 0 or a freed handle fail without effect.
//
// All operations are meant for one thread (the main thread); output runs on
// threads of its own.
//
// Two targets: velmora_audio_decode has the operations every stream
// answers and decoding streams; velmora_audio_output adds the device
// (BASS_Init, BASS_Free), playback streams and what only they do (play,
// pause, stop, seek, level).  A program that only decodes links the first.

#include <cstdint>

namespace velmora {

using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using BOOL = int;
using HSTREAM = DWORD;

inline constexpr DWORD BASS_STREAM_DECODE = 0x200000;  // decode only, no playback
inline constexpr DWORD BASS_SAMPLE_8BITS = 1;          // info flag: 8-bit samples
// This library's own info flag: the source is coded losslessly (FLAC,
// ALAC, PCM), so its data rate is no bit rate a lossy save could take.
inline constexpr DWORD BASS_SAMPLE_LOSSLESS = 0x10000000;
inline constexpr DWORD BASS_POS_BYTE = 0;
inline constexpr DWORD BASS_FILEPOS_END = 2;
inline constexpr DWORD BASS_DATA_FFT1024 = 0x80000002;  // 512 floats

inline constexpr DWORD BASS_ACTIVE_STOPPED = 0;
inline constexpr DWORD BASS_ACTIVE_PLAYING = 1;
inline constexpr DWORD BASS_ACTIVE_PAUSED = 3;

struct BASS_CHANNELINFO {
    DWORD freq = 0;   // sample frames per second
    DWORD chans = 0;  // channels delivered (1 or 2 for decoding streams)
    DWORD flags = 0;  // BASS_SAMPLE_8BITS when samples are 8-bit
};

// 0x0204xxxx: version 2.4.
DWORD BASS_GetVersion();

// Opens the default output device (device -1) at freq Hz.  FALSE when no
// device can be opened; set SDL_AUDIODRIVER=dummy to run without sound
// hardware.  window is accepted for compatibility and not used.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* window, const void* classId);

// Closes the device and frees every stream.
BOOL BASS_Free();

// A stream on a file.  mem must be FALSE, offset and length 0.  With
// BASS_STREAM_DECODE: a decoding stream on any audio file FFmpeg reads.
// With flags 0: a playback stream on a PCM WAV file (8/16-bit, any rate),
// which needs BASS_Init.  0 on failure.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);

// The WMA counterpart; decoding streams only.
HSTREAM BASS_WMA_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                                  DWORD flags);

// Stops and frees the stream; its file is closed before this returns.
BOOL BASS_StreamFree(HSTREAM handle);

// Length in bytes (mode BASS_POS_BYTE).  A decoding stream's length is an
// estimate from the duration until decoding has reached the end, then
// exact.  (QWORD)-1 on error.
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);

// Decoding stream: the bytes delivered so far.  Playback stream: the byte
// of the frame being heard now (output latency taken into account).
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);

// Playback streams: moves the position (whole frames); playback that is
// running continues there.
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD position, DWORD mode);

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD position);

// Playback stream: BASS_ACTIVE_PLAYING, BASS_ACTIVE_PAUSED, or
// BASS_ACTIVE_STOPPED when stopped or played to the end.  Decoding stream:
// BASS_ACTIVE_PLAYING until the decoder is exhausted.
DWORD BASS_ChannelIsActive(DWORD handle);

// restart TRUE: from the beginning; FALSE: resume at the position.
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);

// This library's own additions for playing a part of a playback stream:
// bytes [from, to) from from, stopping at to, or with loop TRUE starting
// again at from without a gap until stopped; BASS_ChannelSetPosition,
// BASS_ChannelStop and BASS_ChannelPlay with restart let the part go.
// VelmoraChannelSetLoop turns the repeating on or off while a part plays
// (off: the pass under way is the last); VelmoraChannelPlaysRange tells
// whether a part is playing or paused in.
BOOL VelmoraChannelPlayRange(DWORD handle, QWORD from, QWORD to, BOOL loop);
BOOL VelmoraChannelSetLoop(DWORD handle, BOOL loop);
BOOL VelmoraChannelPlaysRange(DWORD handle);
BOOL BASS_ChannelPause(DWORD handle);
BOOL BASS_ChannelStop(DWORD handle);

// Decoding stream, length in bytes: up to that many bytes of interleaved
// PCM (16-bit signed, or 8-bit unsigned when the info says so), whole
// frames; returns the count, or (DWORD)-1 when the decoder is exhausted.
// Playback stream, BASS_DATA_FFT1024: 512 floats, the magnitudes of a
// Hann-windowed 1024-point FFT of the sound being heard now (channels
// mixed, full scale 1.0), scaled by 4 / 1024 so that a full-scale sine in
// the middle of a bin gives about 1.0 there; returns 1024 * 4.
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);

// Playback stream: the peak magnitude of each channel over the last ~20 ms
// heard, 0..32768, left in the low 16 bits and right in the high 16 bits
// (mono: both the same); 0 when not playing.
DWORD BASS_ChannelGetLevel(DWORD handle);

// Rate, channel count and the 8-bit flag of the stream's output.
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);

// mode BASS_FILEPOS_END: the size of the stream's source file in bytes.
QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode);

} // namespace velmora
