#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QPushButton;
class QWidget;

namespace tessaly {

class TFTessalyeFirmWare;

// Drives the running configurator through the three steps as a user would, by
// clicking its real buttons: New project "Plant1", General Parameter with the IP
// address 192.168.1.50, Update Device with "Execute update firmware" on COM3, then
// About, and closes it with X. With
// a folder given, it saves a picture of each window there (main-window.png,
// new-project.png, general-parameter.png, update-device.png, about.png).
//
// The program runs it when TESSALY_WALKTHROUGH is set (to that folder, or to "1"
// for no pictures): scripts/screenshots takes the user's guide pictures this way,
// and the package test checks an installed copy with it. Exit status 0 when every
// step found what it expected, 1 otherwise, with the reason on standard error.
class Walkthrough : public QObject {
    Q_OBJECT
public:
    Walkthrough(TFTessalyeFirmWare& window, QString pictureFolder);

    static inline const char* EnvironmentVariable = "TESSALY_WALKTHROUGH";
    static inline const QString ProjectName = QStringLiteral("Plant1");
    static inline const QString IpAddress = QStringLiteral("192.168.1.50");

    void start();
    bool failed() const { return failed_; }

private:
    using Step = std::function<void()>;
    void runNext();
    void fail(const QString& reason);
    // The modal dialog in front, when it is the one named `objectName`; a failure otherwise.
    QWidget* dialogNamed(const QString& objectName);
    void picture(QWidget& widget, const QString& name);
    void click(QWidget& parent, const char* buttonName);
    void press(QPushButton& command); // a command of the main window

    TFTessalyeFirmWare& window_;
    QString pictureFolder_;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool failed_ = false;
};

} // namespace tessaly
