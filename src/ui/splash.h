// The splash window shown while the main window loads: progress, version, product name, logo.
#pragma once

#include <QWidget>

#include "ui/load_progress.h"

class QLabel;
class QProgressBar;

namespace orv::ui {

// A small painted logo: a pager with radio waves, our own drawing.
class Logo : public QWidget {
    Q_OBJECT
  public:
    explicit Logo(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {96, 96}; }

  protected:
    void paintEvent(QPaintEvent*) override;
};

class Splash : public QWidget, public LoadProgress {
    Q_OBJECT
  public:
    explicit Splash(QWidget* parent = nullptr);

    // LoadProgress: each step reads pbLoad, adds 5 and writes it back; repainted at once,
    // because the load does not return to the event loop until it ends.
    void ResetProgress() override;
    void Advance() override;
    void ShowInitialising() override;

    QProgressBar* progressBar() const { return pbLoad_; }
    QLabel* initLabel() const { return lblInit_; }

  protected:
    // A key press anywhere, or a click, closes the splash.
    void keyPressEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

  private:
    QProgressBar* pbLoad_;
    QLabel* lblVersion_;
    QLabel* lblInit_;
};

}  // namespace orv::ui
