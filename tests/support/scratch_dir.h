#pragma once
// A fresh temporary directory made the working directory for as long as this
// object lives, so that error logs and files the code under test writes start
// empty and vanish afterwards.
#include <QDir>
#include <QTemporaryDir>

class ScratchWorkingDir
{
public:
    ScratchWorkingDir() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~ScratchWorkingDir() { QDir::setCurrent(m_previous); }
    ScratchWorkingDir(const ScratchWorkingDir &) = delete;
    ScratchWorkingDir &operator=(const ScratchWorkingDir &) = delete;

    bool isValid() const
    {
        return m_dir.isValid() && QDir::currentPath() == QDir(m_dir.path()).canonicalPath();
    }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
