#include "Render.h"

#include "SoundObjects.h"
#include "Synthesizer.h"

#include <QFileInfo>
#include <QSaveFile>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace vellox {

namespace {

    int formatOf(const std::string& path)
    {
        const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
        if (suffix == QLatin1String("wav"))
            return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        if (suffix == QLatin1String("flac"))
            return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
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
    return formatOf(path) != 0;
}

std::vector<int16_t> loopFrames(const HeadlessSettings& settings, UniformSource& random)
{
    const GeneratorState& s = settings.state;
    std::vector<int16_t> samples;
    SynthesizeSignal(synthSettings(s, settings.dutyPercent), settings.module1, random, samples);
    const int32_t bytes = audio::bufferByteCount(settings.module1.RepetitiveTime, s.SampleRate);
    const size_t values = size_t(bytes / 4) * 2;
    if (values == 0 || values > samples.size())
        throw std::range_error("the loop holds no whole frame");
    samples.resize(values);
    return samples;
}

std::string writeLoopFile(
    const std::string& path, const std::vector<int16_t>& loop, int32_t rate, double seconds)
{
    const int format = formatOf(path);
    if (format == 0)
        return "cannot write " + path + ": the name must end in .wav or .flac";
    if (loop.size() < 2 || rate <= 0 || !(seconds > 0))
        return "nothing to write";
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + path + ": " + file.errorString().toStdString();
    SF_VIRTUAL_IO io { &fileLength, &seekTo, &readFrom, &writeTo, &position };
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    SNDFILE* sound = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (sound == nullptr)
        return "cannot write " + path + ": " + sf_strerror(nullptr);

    const sf_count_t loopFrames = sf_count_t(loop.size() / 2);
    sf_count_t left = sf_count_t(std::llround(seconds * double(rate)));
    bool ok = true;
    while (left > 0 && ok) {
        const sf_count_t n = std::min(left, loopFrames);
        ok = sf_writef_short(sound, loop.data(), n) == n;
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

} // namespace vellox
