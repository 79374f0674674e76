#include "platform/save_dialog.h"

#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/workbook_writer.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tarvic {
namespace {

const QString kTitle = QStringLiteral("Save results as xls file");
const QString kFilter = QStringLiteral("Files (*.xlsx)");
const QString kEnding = QStringLiteral(".xlsx");

class QtSaveDialog : public SaveDialogSeam {
public:
    QString askFileName(QWidget* parent, const SaveDialogRequest& request) override
    {
        const QString start = request.fileName.isEmpty()
                                  ? request.folder
                                  : QDir(request.folder).filePath(request.fileName);
        return QFileDialog::getSaveFileName(parent, request.title, start, request.filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    }
};

QtSaveDialog& systemDialog()
{
    static QtSaveDialog dialog;
    return dialog;
}

SaveDialogSeam* g_seam = nullptr;

SaveDialogSeam& currentSeam()
{
    return g_seam ? *g_seam : static_cast<SaveDialogSeam&>(systemDialog());
}

QString startFolder()
{
    const QFileInfo program(programFolder());
    if (program.isDir() && program.isWritable())
        return program.absoluteFilePath();
    return QDir::homePath();
}

}  // namespace

QString AskSaveResultsPath(QWidget* parent)
{
    SaveDialogRequest request{kTitle, kFilter, startFolder(), QString()};
    for (;;) {
        QString path = currentSeam().askFileName(parent, request);
        if (path.isEmpty())
            return QString();
        if (!path.endsWith(kEnding, Qt::CaseInsensitive))
            path += kEnding;
        const QFileInfo chosen(path);
        if (!chosen.exists() || chosen.isDir())
            return chosen.absoluteFilePath();
        // A read-only file is named so: the save replaces it only after a yes.
        const QString question =
            WorkbookWriter::isReadOnlyFile(chosen.absoluteFilePath())
                ? QStringLiteral(" is read-only.\nDo you want to replace it anyway?")
                : QStringLiteral(" already exists.\nDo you want to replace it?");
        const MsgResult answer = MsgBox(chosen.absoluteFilePath() + question, MsgIcon::Exclamation,
                                        MsgButtons::YesNo, kTitle, parent);
        if (answer == MsgResult::Yes)
            return chosen.absoluteFilePath();
        request.folder = chosen.absolutePath();
        request.fileName = chosen.fileName();
    }
}

SaveDialogSeam* setSaveDialogSeam(SaveDialogSeam* seam)
{
    SaveDialogSeam* previous = g_seam;
    g_seam = seam;
    return previous;
}

ScriptedSaveDialogs::ScriptedSaveDialogs()
    : m_previous(setSaveDialogSeam(this))
{
}

ScriptedSaveDialogs::~ScriptedSaveDialogs()
{
    setSaveDialogSeam(m_previous);
}

QString ScriptedSaveDialogs::askFileName(QWidget*, const SaveDialogRequest& request)
{
    shown.append(request);
    return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
}

}  // namespace tarvic
