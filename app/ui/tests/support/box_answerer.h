// Answers the program's real message boxes in window tests: while a BoxAnswerer lives, every
// modal QMessageBox that opens is recorded (caption, text, icon, buttons) and closed by pressing
// the chosen button. Answerers nest: the one made last answers, the ones around it wait until it
// is gone, so a fixture can answer OK throughout while one test step answers Yes or No.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

namespace ui_test {

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;

    std::string Caption() const { return caption.toStdString(); }
    std::string Text() const { return text.toStdString(); }
};

class BoxAnswerer {
public:
    // `answer`: the button pressed; NoButton leaves every box open (only counts them).
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok, int intervalMs = 5)
        : answer_(answer), outer_(Innermost()) {
        Innermost() = this;
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }
    ~BoxAnswerer() {
        if (Innermost() == this) Innermost() = outer_;
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    void SetAnswer(QMessageBox::StandardButton answer) { answer_ = answer; }
    // The boxes pressed so far.
    const std::vector<SeenBox>& Seen() const { return seen_; }
    void Clear() { seen_.clear(); }
    // The text of every box pressed so far, one per line (for failure messages).
    std::string Texts() const {
        std::string all;
        for (const SeenBox& box : seen_) all += box.Text() + "\n";
        return all;
    }
    // The most message boxes that were open at one time.
    int MostOpen() const { return mostOpen_; }

    // Lets boxes already queued for the user-interface thread (a worker's information boxes)
    // open and be answered.
    static void Settle() { QCoreApplication::processEvents(); }

    // Message boxes open now.
    static std::vector<QMessageBox*> OpenBoxes() {
        std::vector<QMessageBox*> open;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) open.push_back(box);
        return open;
    }

private:
    static BoxAnswerer*& Innermost() {
        static BoxAnswerer* innermost = nullptr;
        return innermost;
    }

    void Look() {
        if (Innermost() != this) return;
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
    BoxAnswerer* outer_;
    QTimer timer_;
    std::vector<SeenBox> seen_;
    int mostOpen_ = 0;
};

}  // namespace ui_test
