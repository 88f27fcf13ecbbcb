// The program's application object. An error that escapes an event handler
// (a full disk or a lost data folder while a dialog posts its row) reaches
// the user as a message with the engine's code, and the program goes on,
// instead of ending the process.
#pragma once

#include <QApplication>
#include <exception>

namespace stb {

class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;
};

// The text shown for an error that reached the event loop.
QString textoErroInesperado(const std::exception &e);

} // namespace stb
