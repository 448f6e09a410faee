#include "Render.h"

#include "SoundObjects.h"
#include "Synthesizer.h"

#include <QFileInfo>
#include <QSaveFile>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace vellox {

namespace {

    // The file type of the name's extension, or 0.
    int containerOf(const std::string& path)
    {
        const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
        if (suffix == QLatin1String("wav"))
            return SF_FORMAT_WAV;
        if (suffix == QLatin1String("flac"))
            return SF_FORMAT_FLAC;
        return 0;
    }

    int subtypeOf(SampleFormat format)
    {
        switch (format) {
        case SampleFormat::S16:
            return SF_FORMAT_PCM_16;
        case SampleFormat::S24:
            return SF_FORMAT_PCM_24;
        case SampleFormat::F32:
            return SF_FORMAT_FLOAT;
        }
        return 0;
    }

    // libsndfile writes through these into a QSaveFile, which only replaces the target
    // once everything is written: a failure half way leaves nothing behind.
    sf_count_t fileLength(void* file)
    {
        return sf_count_t(static_cast<QSaveFile*>(file)->size());
    }
    sf_count_t seekTo(sf_count_t offset, int whence, void* file)
    {
        auto* f = static_cast<QSaveFile*>(file);
        const qint64 base = whence == SEEK_CUR ? f->pos() : whence == SEEK_END ? f->size() : 0;
        return f->seek(base + offset) ? sf_count_t(f->pos()) : -1;
    }
    sf_count_t readFrom(void* into, sf_count_t count, void* file)
    {
        return sf_count_t(static_cast<QSaveFile*>(file)->read(static_cast<char*>(into), count));
    }
    sf_count_t writeTo(const void* from, sf_count_t count, void* file)
    {
        return sf_count_t(
            static_cast<QSaveFile*>(file)->write(static_cast<const char*>(from), count));
    }
    sf_count_t position(void* file)
    {
        return sf_count_t(static_cast<QSaveFile*>(file)->pos());
    }

} // namespace

bool isRenderableName(const std::string& path)
{
    return containerOf(path) != 0;
}

std::vector<int16_t> loopFrames(const HeadlessSettings& settings, UniformSource& random)
{
    const GeneratorState& s = settings.state;
    std::vector<int16_t> samples;
    if (settings.signal == SignalOptions {}) {
        SynthesizeSignal(synthSettings(s, settings.dutyPercent), settings.module1, random, samples);
    } else {
        // The synthesis, dither and phase asked for, in 16 bits (the view of s16 is its bytes).
        SignalBuffer frames;
        SynthesizeFrames(synthSettings(s, settings.dutyPercent), settings.module1, settings.signal,
            random, frames);
        samples16(frames, samples);
    }
    const int32_t bytes = audio::bufferByteCount(settings.module1.RepetitiveTime, s.SampleRate);
    const size_t values = size_t(bytes / 4) * 2;
    if (values == 0 || values > samples.size())
        throw std::range_error("the loop holds no whole frame");
    samples.resize(values);
    return samples;
}

SignalBuffer loopSignal(const HeadlessSettings& settings, UniformSource& random)
{
    const GeneratorState& s = settings.state;
    SignalBuffer buffer;
    SynthesizeFrames(
        synthSettings(s, settings.dutyPercent), settings.module1, settings.signal, random, buffer);
    const int32_t bytes = audio::bufferByteCount(settings.module1.RepetitiveTime, s.SampleRate);
    const std::size_t frames = std::size_t(bytes / 4);
    if (frames == 0 || frames > std::size_t(buffer.frames()))
        throw std::range_error("the loop holds no whole frame");
    buffer.bytes.resize(frames * std::size_t(bytesPerFrame(buffer.format)));
    return buffer;
}

std::string writeSignalFile(const std::string& path, SampleFormat format, int32_t rate,
    double seconds, const std::function<void(uint8_t*, int32_t)>& next)
{
    const int container = containerOf(path);
    if (container == 0)
        return "cannot write " + path + ": the name must end in .wav or .flac";
    if (container == SF_FORMAT_FLAC && format == SampleFormat::F32)
        return "cannot write " + path + ": FLAC holds no float samples; use .wav for f32";
    if (rate <= 0 || !(seconds > 0))
        return "nothing to write";
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + path + ": " + file.errorString().toStdString();
    SF_VIRTUAL_IO io { &fileLength, &seekTo, &readFrom, &writeTo, &position };
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = container | subtypeOf(format);
    SNDFILE* sound = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (sound == nullptr)
        return "cannot write " + path + ": " + sf_strerror(nullptr);
    // Floats go to the file as they are: no clipping or normalisation by libsndfile.
    sf_command(sound, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    sf_command(sound, SFC_SET_CLIPPING, nullptr, SF_FALSE);

    // A piece at a time, its bytes as the host's numbers for libsndfile's int16, int32 (the
    // 24 bits on top, as PCM_24 takes them) and float writers.
    constexpr int32_t Piece = 65536;
    const std::size_t width = format == SampleFormat::S16 ? 2 : 4;
    std::vector<uint8_t> bytes(std::size_t(Piece) * 2 * width);
    std::vector<int16_t> shorts(format == SampleFormat::S16 ? 2 * std::size_t(Piece) : 0);
    std::vector<int32_t> ints(format == SampleFormat::S24 ? 2 * std::size_t(Piece) : 0);
    std::vector<float> floats(format == SampleFormat::F32 ? 2 * std::size_t(Piece) : 0);
    const auto little = [&bytes, width](std::size_t v) {
        uint32_t u = 0;
        for (std::size_t b = 0; b < width; ++b)
            u |= uint32_t(bytes[v * width + b]) << (8 * b);
        return u;
    };

    sf_count_t left = sf_count_t(std::llround(seconds * double(rate)));
    bool ok = true;
    while (left > 0 && ok) {
        const auto n = int32_t(std::min<sf_count_t>(left, Piece));
        next(bytes.data(), n);
        const std::size_t values = 2 * std::size_t(n);
        switch (format) {
        case SampleFormat::S16:
            for (std::size_t v = 0; v < values; ++v)
                shorts[v] = int16_t(uint16_t(little(v)));
            ok = sf_writef_short(sound, shorts.data(), n) == n;
            break;
        case SampleFormat::S24:
            for (std::size_t v = 0; v < values; ++v)
                ints[v] = int32_t(little(v));
            ok = sf_writef_int(sound, ints.data(), n) == n;
            break;
        case SampleFormat::F32:
            for (std::size_t v = 0; v < values; ++v) {
                const uint32_t u = little(v);
                std::memcpy(&floats[v], &u, sizeof u);
            }
            ok = sf_writef_float(sound, floats.data(), n) == n;
            break;
        }
        left -= n;
    }
    const std::string soundError = ok ? std::string() : sf_strerror(sound);
    ok = sf_close(sound) == 0 && ok;
    if (!ok || file.error() != QFileDevice::NoError) {
        const std::string why = !soundError.empty() ? soundError : file.errorString().toStdString();
        file.cancelWriting();
        return "cannot write " + path + ": " + why;
    }
    if (!file.commit())
        return "cannot write " + path + ": " + file.errorString().toStdString();
    return {};
}

std::string writeLoopFile(const std::string& path, const SignalBuffer& loop, double seconds)
{
    const std::size_t frameSize = std::size_t(bytesPerFrame(loop.format));
    const std::size_t loopFrames = std::size_t(loop.frames());
    if (loopFrames < 1)
        return "nothing to write";
    std::size_t at = 0; // the loop's frame that comes next
    return writeSignalFile(
        path, loop.format, loop.sampleRate, seconds, [&](uint8_t* out, int32_t frames) {
            for (std::size_t done = 0; done < std::size_t(frames);) {
                const std::size_t n = std::min(std::size_t(frames) - done, loopFrames - at);
                std::memcpy(
                    out + done * frameSize, loop.bytes.data() + at * frameSize, n * frameSize);
                done += n;
                at = (at + n) % loopFrames;
            }
        });
}

std::string writeStreamFile(const std::string& path, ToneStream& stream, double seconds)
{
    return writeSignalFile(path, stream.options().format, stream.settings().SampleRate, seconds,
        [&](uint8_t* out, int32_t frames) { stream.fill(out, frames); });
}

std::string writeLoopFile(
    const std::string& path, const std::vector<int16_t>& loop, int32_t rate, double seconds)
{
    SignalBuffer buffer;
    buffer.format = SampleFormat::S16;
    buffer.sampleRate = rate;
    buffer.bytes.resize(2 * (loop.size() / 2) * 2);
    for (std::size_t v = 0; v < 2 * (loop.size() / 2); ++v) {
        const uint16_t u = uint16_t(loop[v]);
        buffer.bytes[2 * v] = uint8_t(u & 0xffu);
        buffer.bytes[2 * v + 1] = uint8_t(u >> 8);
    }
    return writeLoopFile(path, buffer, seconds);
}

} // namespace vellox
