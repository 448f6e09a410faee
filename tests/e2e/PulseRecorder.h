#pragma once

// Records a PulseAudio source (a null sink's monitor) with parec into memory while the
// test's event loop runs, and hands out channels of any stretch of it. Frame counts are
// the recording's own clock: a test marks an action by the frames received so far and
// analyses a window at a known distance after the mark.

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellox::e2e {

class PulseRecorder {
public:
    // The sink's own rate: parec then records without resampling.
    static constexpr int Rate = 44100;

    ~PulseRecorder();

    // Starts parec on `source`, 16-bit stereo at Rate, with small latency. False when it
    // does not start (the reason in error()).
    bool start(const QString& source);
    void stop();
    bool running() const { return m_process.state() == QProcess::Running; }
    QString error() const { return m_error; }

    // Frames received so far (reads whatever parec has delivered).
    size_t frames();
    // Channel 0 (left) or 1 (right) of frames [first, first + count), clipped to what has
    // been received.
    std::vector<double> channel(size_t channelIndex, size_t first, size_t count);

    static size_t framesOf(double seconds) { return size_t(seconds * Rate + 0.5); }

private:
    QProcess m_process;
    QByteArray m_bytes;
    QString m_error;
};

} // namespace vellox::e2e
