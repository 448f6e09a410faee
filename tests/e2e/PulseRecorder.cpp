#include "PulseRecorder.h"

#include <algorithm>

namespace vellox::e2e {

PulseRecorder::~PulseRecorder()
{
    stop();
}

bool PulseRecorder::start(const QString& source)
{
    m_bytes.clear();
    m_process.setProgram(QStringLiteral("parec"));
    m_process.setArguments({ QStringLiteral("-d"), source, QStringLiteral("--format=s16le"),
        QStringLiteral("--channels=2"), QStringLiteral("--rate=%1").arg(Rate),
        QStringLiteral("--raw"), QStringLiteral("--latency-msec=20") });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        m_error = m_process.errorString();
        return false;
    }
    return true;
}

void PulseRecorder::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    frames();
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

size_t PulseRecorder::frames()
{
    m_bytes += m_process.readAllStandardOutput();
    return size_t(m_bytes.size()) / 4;
}

std::vector<double> PulseRecorder::channel(size_t channelIndex, size_t first, size_t count)
{
    const size_t total = frames();
    std::vector<double> out;
    if (first >= total)
        return out;
    count = std::min(count, total - first);
    out.reserve(count);
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_bytes.constData());
    for (size_t k = first; k < first + count; ++k) {
        const size_t at = 4 * k + 2 * channelIndex;
        out.push_back(double(int16_t(uint16_t(bytes[at] | (bytes[at + 1] << 8)))));
    }
    return out;
}

} // namespace vellox::e2e
