// The program's application object: every event is delivered under one last
// trap, so that an error no handler caught is reported instead of ending the
// program with the user's inputs.
#pragma once

#include <QApplication>

namespace tarvic {

class TarvicApplication : public QApplication {
    Q_OBJECT
public:
    TarvicApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The phrase of the report of an error that reached the event loop.
    static QString eventPhrase();
};

}  // namespace tarvic
