// A drag source for the tests that drop files on a program's window on an X display: xdotool presses and moves
// the mouse but cannot start a drag. A magenta square at the top left of the screen starts, when pressed, a drag
// of the file named on the command line. The target reads the dropped names from the source only after the drop,
// so the program stays until they have been read (and a moment more for the answer to go out). Exit code 0 when
// the names were read, 1 when the drag ended without that, 2 when nothing pressed the square in time.
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <memory>

namespace {

class ReadNames : public QMimeData {
protected:
    QVariant retrieveData(const QString& format, QMetaType type) const override {
        QTimer::singleShot(1000, qApp, [] { QCoreApplication::exit(0); });
        return QMimeData::retrieveData(format, type);
    }
};

class Source : public QWidget {
public:
    explicit Source(QString file) : file_(std::move(file)) {
        setWindowFlags(Qt::FramelessWindowHint);
        setGeometry(0, 0, 96, 96);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(255, 0, 255)); }
    void mousePressEvent(QMouseEvent*) override {
        if (started_) return;
        started_ = true;
        auto names = std::make_unique<ReadNames>();
        names->setUrls({QUrl::fromLocalFile(QFileInfo(file_).absoluteFilePath())});
        auto* drag = new QDrag(this);  // the widget owns the drag, the drag the names
        drag->setMimeData(names.release());
        drag->exec(Qt::CopyAction);
        QTimer::singleShot(15000, qApp, [] { QCoreApplication::exit(1); });
    }

private:
    QString file_;
    bool started_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    Source source(QString::fromLocal8Bit(argv[1]));
    source.show();
    QTimer::singleShot(120000, qApp, [] { QCoreApplication::exit(2); });
    return application.exec();
}
