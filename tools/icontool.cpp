// Build tool: writes the icon's image source (an XPM, kept by hand) in the
// format that the target file's name asks for, such as PNG.
// Usage: icontool SOURCE TARGET

#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv); // image format plugins, where one is needed
    if (argc != 3) {
        std::fprintf(stderr, "usage: icontool SOURCE TARGET\n");
        return 2;
    }
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "icontool: cannot read %s\n", argv[1]);
        return 1;
    }
    QImageWriter writer(QString::fromLocal8Bit(argv[2]));
    if (!writer.write(image)) {
        std::fprintf(stderr, "icontool: cannot write %s: %s\n", argv[2],
                     qPrintable(writer.errorString()));
        return 1;
    }
    return 0;
}
