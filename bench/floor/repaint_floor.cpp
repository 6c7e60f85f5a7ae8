// The floor for scripts/measure.sh: the least a Qt 6 widget program spends to show a graph-sized
// area (500 x 200) that changes every 20 ms. A curve scrolls one pixel per tick, drawn from a
// kept image the way a plotter draws, so every tick puts a changed frame on screen. KVXMon's
// figures are given as multiples of this program's, measured in the same run on the same X
// server, so that the machine's drift cancels out.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cmath>

namespace {

constexpr int kWidth = 500;
constexpr int kHeight = 200;

class Graph : public QWidget {
  public:
    Graph() : image_(kWidth, kHeight, QImage::Format_RGB32) {
        setFixedSize(kWidth, kHeight);
        setAttribute(Qt::WA_OpaquePaintEvent);
        image_.fill(Qt::white);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
        timer_.start(20);
    }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image_); }

  private:
    void Step() {
        // Scroll left by a pixel and draw the newest segment at the right edge.
        const QImage previous = image_.copy(1, 0, kWidth - 1, kHeight);
        QPainter painter(&image_);
        painter.drawImage(0, 0, previous);
        painter.fillRect(kWidth - 1, 0, 1, kHeight, Qt::white);
        const int y = kHeight / 2 + static_cast<int>(80 * std::sin(++tick_ * 0.05));
        painter.setPen(Qt::blue);
        painter.drawLine(kWidth - 2, lastY_, kWidth - 1, y);
        lastY_ = y;
        update();
    }

    QImage image_;
    QTimer timer_;
    int tick_ = 0;
    int lastY_ = kHeight / 2;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    Graph graph;
    graph.setWindowTitle(QStringLiteral("repaint floor"));
    graph.show();
    return QApplication::exec();
}
