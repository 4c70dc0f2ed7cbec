#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace tessaly {

class Messages;
class Workspace;

inline const QString DestinationNotValidMessage = QStringLiteral("directory destination not valid");
inline const QString NameNotValidMessage = QStringLiteral("Name project not valid");
inline const QString NameExistsMessage =
    QStringLiteral("Name project not valid because directory already exists");
inline const QString NameTooLongMessage =
    QStringLiteral("The name is %1 %2 long; the file system allows at most %3 %2.");

// Whether New project accepts `name`: it must make exactly one folder of that name below
// the destination, and be one line of visible text. On Windows also no device name
// ("CON", "aux.txt"), none of the characters Windows refuses in a file name, and no
// trailing dot.
bool isUsableProjectName(const QString& name);

// Why `name` cannot become a project folder in `destination`, checked before anything
// is made: NameNotValidMessage when New project refuses it, NameTooLongMessage when it
// is longer than the file system there allows. Nothing when it can.
std::optional<QString> projectNameRefusal(const QString& destination, const QString& name);

// The New project command without its window: the three values that outlive each
// showing of the dialog and the confirm step behind its OK button. The dialog and
// the command line both drive it.
class NewProjectCommand {
public:
    // Writes the new project's default documents; run once the directory exists.
    using DefaultDocumentsWriter = std::function<void()>;

    NewProjectCommand(Workspace& workspace, Messages& messages);

    void setDefaultDocumentsWriter(DefaultDocumentsWriter writer) { writeDefaults_ = std::move(writer); }

    // Before each showing.
    void prepare();
    // The dialog is being shown: the name is emptied.
    void onShow() { NewProjectName.clear(); }
    // OK: checks the typed name, creates the project and makes it current.
    // Returns whether the dialog may close.
    bool confirm(const QString& typedName);
    // Cancel.
    void cancel() { NewProjectCloseAllowed = true; }
    // After the dialog has closed, with either result.
    void finish();

    QString NewProjectDestination;
    QString NewProjectName;
    bool NewProjectCloseAllowed = false;

private:
    bool createProject();

    Workspace& workspace_;
    Messages& messages_;
    DefaultDocumentsWriter writeDefaults_;
};

} // namespace tessaly
