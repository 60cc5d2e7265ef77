#include "platform/SharedLibrary.h"

#include <dlfcn.h>
#include <QFile>

namespace qv {

bool SharedLibrary::load(const QString& path) {
    unload();
    path_ = path;
    error_.clear();
    dlerror();
    handle_ = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = why ? QString::fromLocal8Bit(why) : QStringLiteral("cannot load %1").arg(path);
        return false;
    }
    return true;
}

void SharedLibrary::unload() {
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void* SharedLibrary::resolve(const char* name) {
    if (!handle_) {
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name);
    if (!address) {
        const char* why = dlerror();
        error_ = why ? QString::fromLocal8Bit(why)
                     : QStringLiteral("%1: no export %2").arg(path_, QLatin1String(name));
    }
    return address;
}

}  // namespace qv
