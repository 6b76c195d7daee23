#pragma once
// What the parameter windows share: each is a modeless window of its own,
// made on first use (also by a reply, hidden, so that it shows what was read
// once opened) and gone when closed.
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kalmo {

// "请先读取参数": a write refused while the window holds nothing read.
inline const QString kReadFirstText = QStringLiteral("请先读取参数");

template <typename Window> class DialogWindow
{
public:
    // `made` connects a fresh window's buttons.
    DialogWindow(QWidget *owner, std::function<void(Window &)> made)
        : m_owner(owner), m_made(std::move(made))
    {
    }

    Window &get()
    {
        if (!m_window) {
            m_window = new Window(m_owner);
            m_window->setAttribute(Qt::WA_DeleteOnClose);
            m_made(*m_window);
        }
        return *m_window;
    }
    // The window, or null when it has not been made or has been closed.
    Window *made() const { return m_window; }
    void show()
    {
        Window &window = get();
        window.show();
        window.raise();
        window.activateWindow();
    }

private:
    QWidget *m_owner;
    std::function<void(Window &)> m_made;
    QPointer<Window> m_window;
};

} // namespace kalmo
