// The generator program: one main window over the SDL sound device. No command line,
// no settings: every run starts from the same built-in values.

#include "FormGen.h"
#include "ProgramIcon.h"
#include "SdlSoundBackend.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane Vellox"));
    QApplication::setWindowIcon(vellox::programIcon());

    vellox::audio::SdlSoundBackend backend;
    int result = 0;
    {
        vellox::FormGen window(backend);
        window.show();
        result = QApplication::exec();
        // Leaving this block destroys the window, which releases the sound before the
        // backend closes the device.
    }
    return result;
}
