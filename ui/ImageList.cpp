#include "ui/ImageList.h"

#include <array>

// Outside any namespace, as the resource initialisers require.
void initProgramResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(pictures);
        Q_INIT_RESOURCE(manual);
        return true;
    }();
    (void)done;
}

namespace {

const std::array<const char*, kImageListSize> pictureFiles = {
    "new.svg", "open.svg", "save.svg", "stop.svg", "help.svg", "print.svg", "preview.svg",
};

} // namespace

QString imageListPath(int index) {
    return QStringLiteral(":/icons/") + QString::fromLatin1(pictureFiles.at(std::size_t(index)));
}

std::vector<QIcon> makeImageList() {
    initProgramResources();
    std::vector<QIcon> icons;
    for (int i = 0; i < kImageListSize; ++i)
        icons.emplace_back(imageListPath(i));
    return icons;
}

QString applicationIconPath() {
    return QStringLiteral(":/icons/kvarnel-ld5.svg");
}

QIcon applicationIcon() {
    initProgramResources();
    return QIcon(applicationIconPath());
}
