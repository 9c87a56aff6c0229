// Answers the program's real message boxes in window tests: while a BoxAnswerer lives, every
// modal QMessageBox that opens is recorded and closed by pressing the chosen button.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace ui_test {

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

class BoxAnswerer {
public:
    // `answer`: the button pressed; NoButton leaves every box open (only counts them).
    explicit BoxAnswerer(QMessageBox::StandardButton answer, int intervalMs = 10) : answer_(answer) {
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }

    void SetAnswer(QMessageBox::StandardButton answer) { answer_ = answer; }
    // The boxes pressed so far.
    std::vector<SeenBox> Seen() const { return seen_; }
    // The most message boxes that were open at one time.
    int MostOpen() const { return mostOpen_; }

    // Message boxes open now.
    static std::vector<QMessageBox*> OpenBoxes() {
        std::vector<QMessageBox*> open;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) open.push_back(box);
        return open;
    }

private:
    void Look() {
        const std::vector<QMessageBox*> open = OpenBoxes();
        mostOpen_ = std::max(mostOpen_, static_cast<int>(open.size()));
        if (answer_ == QMessageBox::NoButton) return;
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        QAbstractButton* button = box->button(answer_);
        if (button == nullptr) return;  // not offered: the test sees the box stay open
        seen_.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        button->click();
    }

    QMessageBox::StandardButton answer_;
    QTimer timer_;
    std::vector<SeenBox> seen_;
    int mostOpen_ = 0;
};

}  // namespace ui_test
