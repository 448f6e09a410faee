#pragma once

// The output settings beyond the front panel: how the buffer is made (synthesis, dither,
// sample format, the right channel's phase), the sample rate (the front panel's three and
// the sound cards' own 48000 and 96000 Hz), what the sound server holds ahead, and the
// remote control's port. The window's "Output settings" dialog edits them and the program
// remembers them with the output device.

#include "SignalOptions.h"
#include "SoundBackend.h"

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vellox {

struct OutputSettings {
    SignalOptions signal;
    int32_t sampleRate = StartSampleRate;
    int latencyMs = audio::DefaultLatencyMs;
    bool remoteOn = false;
    // "[ADDRESS:]PORT": 127.0.0.1 unless an address is given.
    std::string remoteAddress = "5025";
    bool operator==(const OutputSettings&) const = default;
};

// A listening address from "[ADDRESS:]PORT": the host (127.0.0.1 when none is given) and the
// port 1..65535 (0 too with anyPort: a free one, for tests); empty for anything else.
struct RemoteAddress {
    std::string host;
    uint16_t port = 0;
};
std::optional<RemoteAddress> parseRemoteAddress(const std::string& text, bool anyPort = false);

class OutputSettingsDialog : public QDialog {
    Q_OBJECT

public:
    // `deviceRate`: the rate the output device runs at, when the sound layer can tell.
    OutputSettingsDialog(
        const OutputSettings& settings, std::optional<int32_t> deviceRate, QWidget* parent);
    // What the boxes hold (meaningful after accept).
    OutputSettings settings() const;

    QComboBox* synthesis = nullptr;
    QComboBox* dither = nullptr;
    QComboBox* sampleFormat = nullptr;
    QComboBox* sampleRate = nullptr;
    QSpinBox* phase = nullptr;
    QSpinBox* latency = nullptr;
    QCheckBox* remoteOn = nullptr;
    QLineEdit* remoteAddress = nullptr;
    QLabel* deviceRateNote = nullptr;

    void accept() override;

private:
    OutputSettings m_initial;
};

} // namespace vellox
