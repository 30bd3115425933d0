#include "ui/ImageList.h"

#include <QStyle>

std::vector<QIcon> makeImageList(const QStyle* style) {
    struct Picture {
        const char* themeName;
        QStyle::StandardPixmap fallback;
    };
    static const Picture pictures[] = {
        {"document-new", QStyle::SP_FileIcon},
        {"document-open", QStyle::SP_DirOpenIcon},
        {"document-save", QStyle::SP_DialogSaveButton},
        {"process-stop", QStyle::SP_BrowserStop},
        {"help-contents", QStyle::SP_DialogHelpButton},
        {"document-print", QStyle::SP_ComputerIcon},
        {"document-print-preview", QStyle::SP_FileDialogContentsView},
    };
    std::vector<QIcon> icons;
    for (const Picture& p : pictures)
        icons.push_back(QIcon::fromTheme(QString::fromLatin1(p.themeName), style->standardIcon(p.fallback)));
    return icons;
}
