#include "platform/ui/ErrorDisplay.h"

#include "platform/Error.h"

#include <QApplication>
#include <QMessageBox>
#include <QVariant>

#include <cstdio>
#include <exception>

namespace platform::ui {

namespace {
constexpr const char* kDisplay = "platform.errorDisplay";
constexpr const char* kContext = "platform.errorDisplayContext";

void defaultDisplay(const QString& text)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Erro"), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}
}  // namespace

void setErrorDisplay(ErrorDisplayFunction display, void* context)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    app->setProperty(kDisplay, QVariant::fromValue(reinterpret_cast<quintptr>(display)));
    app->setProperty(kContext, QVariant::fromValue(reinterpret_cast<quintptr>(context)));
}

void showError(const QString& text)
{
    try {
        QCoreApplication* app = QCoreApplication::instance();
        const quintptr fn = app ? app->property(kDisplay).value<quintptr>() : 0;
        if (fn) {
            auto display = reinterpret_cast<ErrorDisplayFunction>(fn);
            display(text, reinterpret_cast<void*>(app->property(kContext).value<quintptr>()));
            return;
        }
        defaultDisplay(text);
    } catch (...) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
}

QString errorText(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const platform::Error& e) {
        return e.text();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Erro desconhecido.");
    }
    return {};
}

}  // namespace platform::ui
