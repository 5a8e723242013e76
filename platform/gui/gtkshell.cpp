#include "platform/gui/gtkshell.h"

#include "gtk-shell-client-protocol.h"
#include "platform/gui/wayland.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <string_view>

namespace {

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
    if (std::string_view(interface) == gtk_shell1_interface.name)
        *static_cast<gtk_shell1 **>(data) =
            static_cast<gtk_shell1 *>(wl_registry_bind(registry, name, &gtk_shell1_interface, 1));
}

void onGlobalRemoved(void *, wl_registry *, uint32_t) {}

// Asks the compositor for its globals on a queue of our own, so that Qt, which reads the
// connection on its own queue, neither sees nor waits for them. What the shell object hears from
// then on goes to Qt's queue, which passes over it.
gtk_shell1 *bindGtkShell() {
    auto *display = static_cast<wl_display *>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
    if (!display)
        return nullptr;
    wl_event_queue *queue = wl_display_create_queue(display);
    auto *ours = static_cast<wl_display *>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(ours), queue);
    wl_registry *registry = wl_display_get_registry(ours);
    static const wl_registry_listener listener{onGlobal, onGlobalRemoved};
    gtk_shell1 *shell = nullptr;
    wl_registry_add_listener(registry, &listener, &shell);
    wl_display_roundtrip_queue(display, queue);
    if (shell)
        wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(shell), nullptr);
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(ours);
    wl_event_queue_destroy(queue);
    return shell;
}

// Null where the compositor does not offer it.
gtk_shell1 *gtkShell() {
    static gtk_shell1 *const shell = bindGtkShell();
    return shell;
}

// The window's surface and role exist from its showing on, and its first frame follows its first
// expose: a request sent at that expose reaches the compositor before the frame that maps the
// window.
class ModalMark : public QObject {
public:
    explicit ModalMark(QWidget &box) : QObject(&box), m_box(box) { box.installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &m_box && event->type() == QEvent::Show)
            m_box.windowHandle()->installEventFilter(this);
        else if (watched == m_box.windowHandle() && event->type() == QEvent::Expose) {
            mark(*m_box.windowHandle());
            deleteLater();
        }
        return false;
    }

private:
    static void mark(QWindow &window) {
        auto *surface = static_cast<wl_surface *>(
            QGuiApplication::platformNativeInterface()->nativeResourceForWindow("surface",
                                                                                &window));
        if (!surface)
            return;
        gtk_surface1 *marked = gtk_shell1_get_gtk_surface(gtkShell(), surface);
        gtk_surface1_set_modal(marked);
        // This version of the protocol has no request that ends the marking object: the
        // compositor keeps it with the surface, and the client forgets it.
        gtk_surface1_destroy(marked);
    }

    QWidget &m_box;
};

} // namespace

void markAsModalDialog(QWidget &box) {
    if (onWayland() && gtkShell())
        new ModalMark(box);
}
