#include "ui/splash.h"

#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QVBoxLayout>

#include "model/identity.h"

namespace orv::ui {

Logo::Logo(QWidget* parent) : QWidget(parent) {
    setObjectName("imgLogo");
    setFixedSize(96, 96);
}

void Logo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor navy(20, 50, 110);
    const QColor amber(240, 160, 20);

    // Pager body with its display.
    p.setPen(QPen(navy, 2));
    p.setBrush(QColor(230, 236, 245));
    p.drawRoundedRect(QRectF(10, 38, 52, 48), 8, 8);
    p.setBrush(QColor(120, 190, 120));
    p.drawRect(QRectF(18, 46, 36, 14));
    p.setBrush(navy);
    for (int k = 0; k < 3; ++k) p.drawEllipse(QPointF(24 + 12 * k, 72), 3.5, 3.5);

    // Radio waves leaving the aerial.
    p.setPen(QPen(amber, 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QPointF centre(62, 34);
    for (int k = 1; k <= 3; ++k) {
        const double r = 9.0 * k;
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 0 * 16, 90 * 16);
    }
    p.setPen(QPen(navy, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(54, 38), QPointF(62, 30));
}

Splash::Splash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("frmSplash");
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(420, 230);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(2);
    frame->setGeometry(0, 0, 420, 230);

    auto* logo = new Logo(frame);
    logo->move(20, 24);

    auto* product =
        new QLabel(QString::fromLatin1(kProgramTitle.data(), kProgramTitle.size()), frame);
    product->setObjectName("lblProductName");
    QFont big = product->font();
    big.setPointSize(big.pointSize() + 7);
    big.setBold(true);
    product->setFont(big);
    product->setGeometry(128, 30, 280, 40);

    lblVersion_ = new QLabel(QString::fromStdString(SplashVersionText()), frame);
    lblVersion_->setObjectName("lblVersion");
    lblVersion_->setGeometry(130, 76, 270, 22);

    auto* loading = new QLabel("Loading ...", frame);
    loading->setObjectName("lblLoading");
    loading->setGeometry(130, 126, 270, 22);

    pbLoad_ = new QProgressBar(frame);
    pbLoad_->setObjectName("pbLoad");
    pbLoad_->setRange(0, 100);
    pbLoad_->setValue(0);
    pbLoad_->setTextVisible(false);
    pbLoad_->setGeometry(20, 156, 380, 20);

    lblInit_ = new QLabel("Initialising ...", frame);
    lblInit_->setObjectName("lblInit");
    lblInit_->setGeometry(20, 186, 380, 22);
    lblInit_->hide();
}

void Splash::ResetProgress() {
    pbLoad_->setValue(0);
    if (isVisible()) pbLoad_->repaint();
}

void Splash::Advance() {
    pbLoad_->setValue(pbLoad_->value() + 5);
    if (isVisible()) pbLoad_->repaint();
}

void Splash::ShowInitialising() {
    lblInit_->show();
    if (isVisible()) repaint();
}

void Splash::keyPressEvent(QKeyEvent*) {
    close();
}
void Splash::mousePressEvent(QMouseEvent*) {
    close();
}

}  // namespace orv::ui
