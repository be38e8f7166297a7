// relaybox-artsheet: writes the contact sheet of the panel pictures, the program icon as PNG, or
// the SVG pictures baked for a build without Qt Svg.
#include "artbake.h"
#include "contactsheet.h"
#include "panelart.h"

#include <QGuiApplication>
#include <QImage>
#include <QStringList>
#include <QTextStream>

using namespace relaybox;

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);

    if (args.size() == 3 && args[0] == QLatin1String("--icon")) {
        bool ok = false;
        const int size = args[1].toInt(&ok);
        if (!ok || size < 16 || size > 1024) {
            err << "icon size must be 16 to 1024\n";
            return 2;
        }
        if (!PanelArt::programIconImage(size).save(args[2], "PNG")) {
            err << "cannot write " << args[2] << '\n';
            return 1;
        }
        return 0;
    }
    if (args.size() == 2 && args[0] == QLatin1String("--bake")) {
        QString failed;
        if (!bakeSvgArt(args[1], failed)) {
            err << "cannot write " << failed << '\n';
            return 1;
        }
        return 0;
    }
    if (args.size() != 1) {
        err << "usage: relaybox-artsheet SHEET.png\n"
               "       relaybox-artsheet --icon SIZE ICON.png\n"
               "       relaybox-artsheet --bake FOLDER\n";
        return 2;
    }
    if (!ContactSheet::render().save(args[0], "PNG")) {
        err << "cannot write " << args[0] << '\n';
        return 1;
    }
    return 0;
}
