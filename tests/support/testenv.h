// Test support: a complete installation in a temporary folder, and helpers to
// drive modal dialogs.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>

namespace stbtest {

// AppDir with Sys/Dados (the pristine tables), STBrelva2.ini and an empty
// data folder Dados/; the registry and the runtime folder (single-instance
// lock) are moved into the temporary folder too. The constructor presets
// STBrelva.ini so that a start asks nothing (unit identified, no reindex).
class TestInstall {
public:
    TestInstall();
    ~TestInstall();

    QString appDir() const; // with a trailing "/"
    QString dataDir() const; // appDir() + "Dados/"
    QString path(const QString &relative) const;
    void setIni(const QString &section, const QString &key, const QString &value);
    // Sets the process globals and opens the configuration as the start of
    // the program does (without the single-instance and launcher steps).
    void applyToProcess();
    // The environment a child program of this installation runs with.
    QStringList environment() const;

    static QString pristineDir();

private:
    QTemporaryDir m_dir;
};

// Copies the pristine tables into `dir`.
void copyPristine(const QString &dir);

// Calls `fn` with the next modal dialog that shows (polling the event loop);
// returns at once, the dialog is handled while the caller's exec() runs.
void whenModal(std::function<void(QWidget *)> fn, int timeoutMs = 10000);
// The same for the next modal dialog with that object name (a nested dialog
// opens while another modal one is still active). Watches still waiting
// are dropped by dropModalWatches(), for example when a test ends.
void whenModalNamed(const QString &name, std::function<void(QWidget *)> fn, int timeoutMs = 20000);
void dropModalWatches();

// A widget of `parent` by object name, or nullptr.
template<typename T> T *child(QWidget *parent, const char *name)
{
    return parent ? parent->findChild<T *>(QLatin1String(name)) : nullptr;
}

// Saves a screenshot of a widget as PNG in the build folder's "screenshots".
QString saveScreenshot(QWidget *w, const QString &name);

} // namespace stbtest
