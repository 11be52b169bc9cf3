#pragma once
// The module as a host sees it: libVak04100.so from the build's bin directory, loaded
// with dlopen and closed again when the object goes. Lookups go by exported name only.

#include <QByteArray>
#include <QString>

#include <dlfcn.h>

namespace testsupport {

class ModuleLibrary {
public:
    ModuleLibrary()
        : path_(qgetenv("VAK_BIN_DIR") + "/libVak04100.so"),
          handle_(dlopen(path_.constData(), RTLD_NOW | RTLD_LOCAL))
    {
    }
    ~ModuleLibrary()
    {
        if (handle_)
            dlclose(handle_);
    }
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    QString error() const { return QString::fromLocal8Bit(dlerror()); }
    const QByteArray& path() const { return path_; }

    void* symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }
    template <class T>
    T* get(const char* name) const
    {
        return reinterpret_cast<T*>(symbol(name));
    }

private:
    QByteArray path_;
    void* handle_;
};

}  // namespace testsupport
