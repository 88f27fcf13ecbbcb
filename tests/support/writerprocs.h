// Writer processes (tests/writer_child) for the concurrent writer test and
// benchmark: each adds invoices to one calculation through the data module,
// on a data folder or on a server address.
#pragma once

#include "core/datamodule.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <memory>
#include <vector>

namespace stbtest {

// The data module on a data folder or, for a "postgresql://" address, on the server.
std::unique_ptr<stb::TDM> openModule(const QString &where);

// A new calculation in an empty data folder or server database (the tables
// are created on the way); returns its IdCalculo.
int newCalculation(const QString &where);

class WriterProcess {
public:
    // Starts `program` with the arguments of writer_child after its program name.
    WriterProcess(const QString &program, const QStringList &args);
    ~WriterProcess();
    WriterProcess(const WriterProcess &) = delete;
    WriterProcess &operator=(const WriterProcess &) = delete;

    // The next line the child printed, without its end; empty on timeout or end.
    QString readLine(int timeoutMs = 60000);
    // Lets a child that printed "PRONTO" start.
    void go();
    // Ends the child at once (SIGKILL) and waits for it.
    void kill();
    // Waits for the end; true when it exited normally with status 0.
    bool finish(int timeoutMs = 60000);
    // Everything the child wrote to its error output.
    QString errors();

private:
    QProcess m_p;
};

} // namespace stbtest
