// Draws the tree images and the program icon into PNG files:
//   draw_icons <resources folder>
// writes tree/*.png (16 x 16, each with a "_selected" variant) and
// icons/vekdc_<size>.png in every size the program uses. The PNGs are
// committed next to this file; run it again only to change the pictures.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>

namespace {

using Drawing = std::function<void(QPainter&)>;

QImage Draw(int size, double designSize, const Drawing& drawing) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / designSize, size / designSize);
    drawing(painter);
    return image;
}

// A drive seen from the front; `front` colours the face with the slot.
void DriveBody(QPainter& p, const QColor& top, const QColor& front) {
    QLinearGradient body(0, 5, 0, 13);
    body.setColorAt(0, top.lighter(115));
    body.setColorAt(1, top.darker(115));
    p.setPen(QPen(QColor(70, 70, 70), 0.8));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.0, 5.0, 14.0, 5.0), 1.2, 1.2);
    p.setBrush(front);
    p.drawRoundedRect(QRectF(1.0, 9.0, 14.0, 4.5), 1.0, 1.0);
    p.setPen(QPen(QColor(30, 30, 30), 0.9));
    p.drawLine(QPointF(3.0, 11.2), QPointF(9.0, 11.2));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 220, 60));
    p.drawEllipse(QPointF(12.4, 11.2), 0.9, 0.9);
}

void HardDisk(QPainter& p) {
    DriveBody(p, QColor(190, 190, 190), QColor(150, 150, 150));
}

void DarkFrontDrive(QPainter& p) {
    DriveBody(p, QColor(185, 185, 185), QColor(55, 55, 70));
}

void CdDrive(QPainter& p) {
    DriveBody(p, QColor(195, 195, 195), QColor(160, 160, 160));
    QRadialGradient disc(QPointF(6.0, 5.0), 5.0);
    disc.setColorAt(0.0, QColor(250, 250, 255));
    disc.setColorAt(0.6, QColor(190, 210, 240));
    disc.setColorAt(1.0, QColor(220, 190, 240));
    p.setPen(QPen(QColor(110, 110, 130), 0.7));
    p.setBrush(disc);
    p.drawEllipse(QPointF(6.0, 5.0), 4.6, 4.6);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(6.0, 5.0), 1.1, 1.1);
}

void Folder(QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 10), 0.8));
    p.setBrush(QColor(235, 190, 60));
    QPainterPath back;
    back.moveTo(1.0, 3.5);
    back.lineTo(6.0, 3.5);
    back.lineTo(7.5, 5.0);
    back.lineTo(15.0, 5.0);
    back.lineTo(15.0, 13.5);
    back.lineTo(1.0, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    QLinearGradient front(0, 6, 0, 14);
    front.setColorAt(0, QColor(255, 230, 120));
    front.setColorAt(1, QColor(245, 200, 70));
    p.setBrush(front);
    QPainterPath flap;
    flap.moveTo(1.0, 13.5);
    flap.lineTo(2.5, 7.0);
    flap.lineTo(15.5, 7.0);
    flap.lineTo(15.0, 13.5);
    flap.closeSubpath();
    p.drawPath(flap);
}

void Padlock(QPainter& p) {
    p.setPen(QPen(QColor(120, 120, 130), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.0, 1.5, 8.0, 9.0), 0, 180 * 16);
    p.drawLine(QPointF(4.0, 6.0), QPointF(4.0, 8.0));
    p.drawLine(QPointF(12.0, 6.0), QPointF(12.0, 8.0));
    QLinearGradient body(0, 7, 0, 15);
    body.setColorAt(0, QColor(255, 215, 80));
    body.setColorAt(1, QColor(200, 140, 20));
    p.setPen(QPen(QColor(120, 80, 0), 0.8));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2.0, 7.5, 12.0, 7.5), 1.2, 1.2);
    // Cipher symbols on the body.
    p.setPen(QPen(QColor(90, 40, 0), 0.9));
    p.drawLine(QPointF(4.0, 9.5), QPointF(6.0, 9.5));
    p.drawLine(QPointF(5.0, 8.8), QPointF(5.0, 10.2));
    p.drawLine(QPointF(7.3, 11.8), QPointF(8.9, 10.2));
    p.drawEllipse(QPointF(11.3, 12.4), 0.9, 0.9);
    p.drawLine(QPointF(3.8, 12.8), QPointF(5.8, 12.8));
}

// The mark of a selected item: a red arrow pointing down, at the top right.
Drawing Selected(const Drawing& picture) {
    return [picture](QPainter& p) {
        picture(p);
        QPainterPath arrow;
        arrow.moveTo(11.3, 0.3);
        arrow.lineTo(13.7, 0.3);
        arrow.lineTo(13.7, 4.5);
        arrow.lineTo(15.8, 4.5);
        arrow.lineTo(12.5, 8.6);
        arrow.lineTo(9.2, 4.5);
        arrow.lineTo(11.3, 4.5);
        arrow.closeSubpath();
        p.setPen(QPen(Qt::white, 0.9));
        p.setBrush(QColor(220, 20, 20));
        p.drawPath(arrow);
    };
}

// The program icon: a gold key over a padlock on a blue tile.
void ProgramIcon(QPainter& p) {
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(40, 90, 170));
    tile.setColorAt(1, QColor(15, 40, 100));
    p.setPen(QPen(QColor(10, 25, 70), 2.0));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

    p.save();
    p.translate(4, 6);
    p.scale(2.6, 2.6);
    Padlock(p);
    p.restore();

    p.setPen(QPen(QColor(110, 70, 0), 1.5));
    p.setBrush(QColor(250, 205, 60));
    p.drawEllipse(QPointF(42, 22), 9, 9);
    p.setBrush(QColor(30, 60, 130));
    p.drawEllipse(QPointF(42, 22), 3.2, 3.2);
    p.setBrush(QColor(250, 205, 60));
    QPainterPath shaft;
    shaft.moveTo(47, 28);
    shaft.lineTo(58, 45);
    shaft.lineTo(54.5, 47.5);
    shaft.lineTo(52, 43.5);
    shaft.lineTo(49, 45.5);
    shaft.lineTo(47.5, 43);
    shaft.lineTo(50.5, 41);
    shaft.lineTo(43.5, 30.5);
    shaft.closeSubpath();
    p.drawPath(shaft);
}

bool Save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_icons <output folder>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    const QDir tree(root.filePath(QStringLiteral("tree")));
    const QDir icons(root.filePath(QStringLiteral("icons")));
    if (!QDir().mkpath(tree.path()) || !QDir().mkpath(icons.path())) {
        std::fprintf(stderr, "cannot create the folders under %s\n", argv[1]);
        return 1;
    }
    struct TreeImage {
        const char* name;
        Drawing drawing;
    };
    const TreeImage images[] = {
        {"drive", HardDisk}, {"removable", DarkFrontDrive}, {"cdrom", CdDrive},
        {"folder", Folder},  {"encrypted", Padlock},
    };
    bool ok = true;
    for (const TreeImage& image : images) {
        ok = Save(Draw(16, 16, image.drawing),
                  tree.filePath(QString::fromLatin1(image.name) + QStringLiteral(".png"))) &&
             ok;
        ok = Save(Draw(16, 16, Selected(image.drawing)),
                  tree.filePath(QString::fromLatin1(image.name) +
                                QStringLiteral("_selected.png"))) &&
             ok;
    }
    // VEKDC_ICON_SIZES comes from the top-level CMakeLists.txt.
    for (int size : {VEKDC_ICON_SIZES}) {
        ok = Save(Draw(size, 64, ProgramIcon),
                  icons.filePath(QStringLiteral("vekdc_%1.png").arg(size))) &&
             ok;
    }
    return ok ? 0 : 1;
}
