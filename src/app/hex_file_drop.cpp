#include "hex_file_drop.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace vek {

std::optional<QString> DraggedHexFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) {
        return std::nullopt;
    }
    const QUrl url = data->urls().constFirst();  // a copy: the list is a temporary
    if (!url.isLocalFile()) {
        return std::nullopt;
    }
    const QString suffix = QFileInfo(url.fileName()).suffix().toLower();
    if (suffix != "hex" && suffix != "sxh") {
        return std::nullopt;
    }
    return url.toLocalFile();
}

HexFileDrop::HexFileDrop(QWidget* window, std::function<bool()> mayOpen, OpenFile open)
    : QObject(window), mayOpen_(std::move(mayOpen)), open_(std::move(open)) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool HexFileDrop::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (mayOpen_() && DraggedHexFile(drag->mimeData())) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::optional<QString> path = DraggedHexFile(drop->mimeData());
            if (!path || !mayOpen_()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            open_(*path);
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vek
