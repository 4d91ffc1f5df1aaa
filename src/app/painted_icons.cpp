#include "painted_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace vek {

namespace {

// Icons are drawn on a 32 x 32 grid and rendered at a few sizes for crisp scaling.
constexpr int GRID = 32;

QIcon Paint(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / double(GRID), size / double(GRID));
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A dual-in-line chip: dark body, silver pins on both long sides, the pin-1 notch on top.
void DrawChip(QPainter& painter, const QRectF& body) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xB8, 0xBE, 0xC6));
    const int pins = 4;
    const double pitch = body.height() / pins;
    for (int pin = 0; pin < pins; ++pin) {
        const double y = body.top() + pitch * (pin + 0.5) - 1.25;
        painter.drawRect(QRectF(body.left() - 3, y, 3, 2.5));
        painter.drawRect(QRectF(body.right(), y, 3, 2.5));
    }
    painter.setBrush(QColor(0x34, 0x3A, 0x44));
    painter.drawRoundedRect(body, 1.5, 1.5);
    painter.setBrush(QColor(0x6A, 0x72, 0x7E));
    const QRectF notch(body.center().x() - 2.5, body.top() - 2.5, 5, 5);
    painter.drawChord(notch, 180 * 16, 180 * 16);
}

void DrawArrow(QPainter& painter, const QColor& color, QPointF from, QPointF to) {
    painter.setPen(QPen(color, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(from, to);
    const double direction = to.y() > from.y() ? 1 : -1;
    QPainterPath head;
    head.moveTo(to.x() - 5, to.y() - 5 * direction);
    head.lineTo(to);
    head.lineTo(to.x() + 5, to.y() - 5 * direction);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(head);
}

void DrawCheckMark(QPainter& painter, const QColor& color, QPointF origin) {
    painter.setPen(QPen(color, 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath mark;
    mark.moveTo(origin);
    mark.lineTo(origin + QPointF(4, 4));
    mark.lineTo(origin + QPointF(12, -6));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(mark);
}

const QColor GREEN(0x2E, 0x9D, 0x48);
const QColor BLUE(0x25, 0x6F, 0xD6);
const QColor ORANGE(0xE0, 0x7A, 0x16);

}  // namespace

QIcon ApplicationIcon() {
    return Paint([](QPainter& painter) {
        DrawChip(painter, QRectF(7, 3, 18, 26));
        QPainterPath bolt;
        bolt.moveTo(18.5, 6);
        bolt.lineTo(11, 17);
        bolt.lineTo(15.5, 17);
        bolt.lineTo(13, 26);
        bolt.lineTo(21, 14);
        bolt.lineTo(16.5, 14);
        bolt.closeSubpath();
        painter.setPen(QPen(QColor(0x8A, 0x5A, 0x00), 0.8));
        painter.setBrush(QColor(0xFF, 0xC8, 0x2E));
        painter.drawPath(bolt);
    });
}

QIcon BlankCheckIcon() {
    return Paint([](QPainter& painter) {
        DrawChip(painter, QRectF(4, 3, 15, 22));
        DrawCheckMark(painter, GREEN, QPointF(15, 23));
    });
}

QIcon EraseIcon() {
    return Paint([](QPainter& painter) {
        DrawChip(painter, QRectF(4, 3, 15, 22));
        // An eraser lying across the chip's corner.
        painter.save();
        painter.translate(22, 22);
        painter.rotate(-35);
        painter.setPen(QPen(QColor(0x70, 0x30, 0x30), 0.8));
        painter.setBrush(QColor(0xF2, 0x8B, 0x9B));
        painter.drawRoundedRect(QRectF(-8, -4, 11, 8), 1.5, 1.5);
        painter.setBrush(BLUE);
        painter.drawRoundedRect(QRectF(3, -4, 6, 8), 1.5, 1.5);
        painter.restore();
    });
}

QIcon ProgramIcon() {
    return Paint([](QPainter& painter) {
        DrawChip(painter, QRectF(9, 12, 14, 17));
        DrawArrow(painter, BLUE, QPointF(16, 1.5), QPointF(16, 13));
    });
}

QIcon VerifyIcon() {
    return Paint([](QPainter& painter) {
        DrawChip(painter, QRectF(4, 3, 15, 22));
        // A magnifying glass over the chip.
        painter.setPen(QPen(QColor(0x45, 0x30, 0x1C), 3.4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(25, 25), QPointF(29.5, 29.5));
        painter.setPen(QPen(GREEN, 2.4));
        painter.setBrush(QColor(255, 255, 255, 150));
        painter.drawEllipse(QPointF(20, 20), 6, 6);
    });
}

QIcon ReadIcon() {
    return Paint([](QPainter& painter) {
        DrawChip(painter, QRectF(9, 12, 14, 17));
        DrawArrow(painter, ORANGE, QPointF(16, 13), QPointF(16, 1.5));
    });
}

}  // namespace vek
