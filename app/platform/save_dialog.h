// The save dialog of the results export, behind a seam.
//
// AskSaveResultsPath() shows a save dialog titled "Save results as xls file"
// that offers "*.xlsx" files and opens in the program's folder when that
// folder may be written to, else in the home folder. A chosen name without
// the ".xlsx" ending gets it. When the file so named exists, the user is
// asked whether to replace it (a read-only file is called read-only in the
// question); "No" shows the dialog again with that name.
// The result is the chosen file's absolute path, or an empty text when the
// user cancelled (nothing else is shown then).
//
// The file dialog itself is the seam: tests install ScriptedSaveDialogs,
// which answers from a queue without showing anything and records what each
// dialog asked for.
#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace tarvic {

struct SaveDialogRequest {
    QString title;
    QString filter;
    QString folder;    // where the dialog opens
    QString fileName;  // the name offered, empty for none
};

class SaveDialogSeam {
public:
    virtual ~SaveDialogSeam() = default;
    // Shows the dialog; returns the path typed or picked, empty on cancel.
    // The dialog asks nothing about existing files.
    virtual QString askFileName(QWidget* parent, const SaveDialogRequest& request) = 0;
};

QString AskSaveResultsPath(QWidget* parent = nullptr);

// Installs a seam (not owned); nullptr restores the system dialog. Returns
// the previous one.
SaveDialogSeam* setSaveDialogSeam(SaveDialogSeam* seam);

// Answers dialogs from a queue (empty: cancel) and records each request.
// Installs itself while it lives.
class ScriptedSaveDialogs : public SaveDialogSeam {
public:
    ScriptedSaveDialogs();
    ~ScriptedSaveDialogs() override;
    ScriptedSaveDialogs(const ScriptedSaveDialogs&) = delete;
    ScriptedSaveDialogs& operator=(const ScriptedSaveDialogs&) = delete;

    QString askFileName(QWidget* parent, const SaveDialogRequest& request) override;

    // The path given to the next dialog; an empty text cancels it.
    void queueAnswer(const QString& path) { m_answers.append(path); }

    QList<SaveDialogRequest> shown;  // every dialog, oldest first

private:
    QList<QString> m_answers;
    SaveDialogSeam* m_previous = nullptr;
};

}  // namespace tarvic
