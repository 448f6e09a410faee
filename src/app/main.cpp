// The generator program: the window over the SDL sound device, or, by the command line,
// a rendered file, a play without a window, or the list of the playback devices.

#include "CommandLine.h"
#include "FormGen.h"
#include "Generator.h"
#include "GeneratorInstrument.h"
#include "HeadlessPlay.h"
#include "LaunchSettings.h"
#include "Preferences.h"
#include "ProgramIcon.h"
#include "ProgramLook.h"
#include "RemoteServer.h"
#include "Render.h"
#include "SdlSoundBackend.h"
#include "SoundObjects.h"

#include <QApplication>

#include <SDL.h>

#include <algorithm>
#include <cstdio>

namespace {

using vellox::LaunchOptions;

void printError(const std::string& line)
{
    std::fprintf(stderr, "vellox: %s\n", line.c_str());
}

// The bit-code dialog's messages, one line each, as the window would show them in boxes.
void printMessages(const std::vector<std::string>& messages)
{
    for (const std::string& m : messages) {
        std::string line = m;
        std::replace(line.begin(), line.end(), '\n', ' ');
        printError(line);
    }
}

// The device named on the command line if SDL knows it; otherwise the default, after one
// line on stderr.
std::string chosenDevice(vellox::audio::SdlSoundBackend& backend, const LaunchOptions& options)
{
    if (!options.device || options.device->empty())
        return {};
    std::vector<std::string> devices;
    try {
        devices = backend.playbackDevices();
    } catch (const vellox::audio::SoundError&) {
        // No driver: the play itself reports it.
    }
    if (std::find(devices.begin(), devices.end(), *options.device) != devices.end())
        return *options.device;
    printError("no playback device \"" + *options.device + "\"; using the default device");
    return {};
}

int listDevices()
{
    // One line a device: its name as --device takes it, a tab, and the rate it runs at (the
    // sound server resamples every other rate), where the driver tells.
    vellox::audio::SdlSoundBackend backend;
    try {
        for (const std::string& name : backend.playbackDevices()) {
            const std::optional<int32_t> rate = backend.deviceRate(name);
            if (rate)
                std::printf("%s\t%d Hz\n", name.c_str(), int(*rate));
            else
                std::printf("%s\t\n", name.c_str());
        }
    } catch (const vellox::audio::SoundError& e) {
        printError(e.what());
        return 1;
    }
    return 0;
}

int render(const LaunchOptions& options)
{
    std::vector<std::string> messages;
    const vellox::HeadlessSettings settings = vellox::headlessSettings(options, messages);
    printMessages(messages);
    try {
        vellox::UniformSource random;
        std::string error;
        if (vellox::streamsSignal(settings.signal, settings.state.Waveform)) {
            vellox::ToneStream stream(vellox::streamSettings(settings.state, settings.dutyPercent),
                settings.signal, random.engine()());
            error = vellox::writeStreamFile(options.renderFile, stream, *options.seconds);
        } else {
            const vellox::SignalBuffer loop = vellox::loopSignal(settings, random);
            error = vellox::writeLoopFile(options.renderFile, loop, *options.seconds);
        }
        if (!error.empty()) {
            printError(error);
            return 1;
        }
    } catch (const std::exception& e) {
        printError(std::string("cannot compute the signal: ") + e.what());
        return 1;
    }
    return 0;
}

int playWithoutWindow(int argc, char* argv[], const LaunchOptions& options)
{
    // An event loop for the sweep's clock and the remote control, without a display.
    QCoreApplication app(argc, argv);
    vellox::audio::SdlSoundBackend backend;
    if (options.fadeMs)
        backend.setFadeMilliseconds(*options.fadeMs);
    if (const auto latency = vellox::rememberedLatency())
        backend.setLatencyMilliseconds(*latency);
    vellox::Generator generator(backend);
    generator.setCalibrationMemory(
        { &vellox::rememberedCalibration, &vellox::rememberCalibration });
    generator.sound().setDeviceId(chosenDevice(backend, options));
    // The command line's settings (its latency among them) through the generator's setters,
    // as the window takes them.
    printMessages(vellox::applyLaunchOptions(generator, options, vellox::ChangeFrom::Settings));
    const std::string error = vellox::playWithoutWindow(generator, options.seconds,
        options.remote.value_or(std::string()), options.remoteAllow.value_or(std::string()));
    if (!error.empty()) {
        printError(error);
        return 1;
    }
    return 0;
}

int openWindow(int argc, char* argv[], const LaunchOptions& options)
{
    QApplication app(argc, argv);
    vellox::applyProgramLook();
    QApplication::setApplicationName(QStringLiteral("Korvane Vellox"));
    QApplication::setWindowIcon(vellox::programIcon());

    vellox::audio::SdlSoundBackend backend;
    if (options.fadeMs)
        backend.setFadeMilliseconds(*options.fadeMs);
    // A device named here is checked here, with one line on stderr; the remembered one by
    // the window, with a message box.
    const std::string device
        = options.device ? chosenDevice(backend, options) : vellox::rememberedOutputDevice();
    int result = 0;
    {
        vellox::FormGen window(backend, nullptr, device);
        window.setRememberDevice(&vellox::rememberOutputDevice);
        window.generator().setCalibrationMemory(
            { &vellox::rememberedCalibration, &vellox::rememberCalibration });
        // The remote control changes the window's generator; the controls follow.
        vellox::GeneratorInstrument instrument(window.generator());
        vellox::RemoteServer server(instrument);
        if (options.remoteAllow)
            server.setAllowed(*options.remoteAllow); // checked with the command line
        QObject::connect(&server, &vellox::RemoteServer::exposureChanged, &window,
            [&window](const std::string& where) { window.showRemoteExposure(where); });
        window.setRemoteSwitch([&server](bool on, const std::string& address) {
            if (!on) {
                server.close();
                return std::string();
            }
            return server.listen(address);
        });
        // The remembered output settings, then the command line's over them.
        if (const auto remembered = vellox::rememberedOutputSettings())
            window.applyOutputSettings(*remembered, false);
        if (options.remote) {
            vellox::OutputSettings output = window.outputSettings();
            output.remoteOn = true;
            output.remoteAddress = *options.remote;
            window.applyOutputSettings(output, false);
        }
        window.setRememberOutput(&vellox::rememberOutputSettings);
        printMessages(window.applyLaunchOptions(options));
        window.show();
        result = QApplication::exec();
        // Leaving this block destroys the window, which releases the sound before the
        // backend closes the device.
    }
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    // SDL would turn SIGINT and SIGTERM into events that nobody reads here: the program
    // would not end on them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const vellox::ParsedCommandLine parsed = vellox::parseCommandLine(arguments);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return 2;
    }
    const LaunchOptions& options = parsed.options;
    switch (options.mode) {
    case LaunchOptions::Mode::Help:
        std::fputs(vellox::commandLineHelp().toLocal8Bit().constData(), stdout);
        return 0;
    case LaunchOptions::Mode::Version:
        std::printf("%s\n", vellox::versionLine().toLocal8Bit().constData());
        return 0;
    case LaunchOptions::Mode::ListDevices:
        return listDevices();
    case LaunchOptions::Mode::Render:
        return render(options);
    case LaunchOptions::Mode::Play:
        return playWithoutWindow(argc, argv, options);
    case LaunchOptions::Mode::Window:
        break;
    }
    return openWindow(argc, argv, options);
}
