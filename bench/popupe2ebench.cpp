// SPDX-License-Identifier: GPL-3.0-or-later
// The popup of the real program at 999,999 entries on its own Xvfb, beside the bar's own start in the same
// run. Another program's window (pasteclient) has the focus; the benchmark presses the keys itself through
// XTest and watches the X server through a connection of its own:
//   - start: the program started until its bar window is mapped;
//   - shortcut: Ctrl+Alt+V pressed until the popup is mapped, and until its list shows rows on the screen;
//   - typed: a letter pressed in the popup until its list shows the first rows found;
//   - pick: Enter pressed until the other program's field has the text.
//   bench_popupe2e [RUNS [CYCLES]]   RUNS program starts (3), each with CYCLES popups (20)
// Needs Xvfb, xclip and xdotool (for the harness).
#include "programinstance.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRect>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include <poll.h>

namespace {
using namespace x11harness;
using benchutil::Clock;
using benchutil::msSince;
using benchutil::percentile;
using benchutil::ProgramInstance;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T>
Reply<T> reply(T *p)
{
    return Reply<T>(p, &std::free);
}

std::vector<double> g_looks; // how long one look at the popup's pixels takes

// The X server as the benchmark sees it: keys pressed through XTest, and the top-level windows' maps and
// what is drawn on the screen (the root window's damage, which takes in every window's drawing) as events,
// each stamped when it is taken from the connection.
class Server
{
public:
    struct Event
    {
        enum Kind
        {
            Map,
            Unmap,
            Paint,
            Focus
        } kind;
        xcb_window_t window; // Paint: the root window; `area` says where
        Clock::time_point at;
        QRect area;
    };

    ~Server()
    {
        if (m_c)
            xcb_disconnect(m_c);
    }

    bool connect(const QByteArray &display)
    {
        m_c = xcb_connect(display.constData(), nullptr);
        if (xcb_connection_has_error(m_c))
            return false;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_c, &xcb_damage_id);
        const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(m_c, &xcb_test_id);
        if (!damage || !damage->present || !xtest || !xtest->present)
            return false;
        m_damageNotify = uint8_t(damage->first_event + XCB_DAMAGE_NOTIFY);
        reply(xcb_damage_query_version_reply(m_c, xcb_damage_query_version(m_c, 1, 1), nullptr));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_damage_create(m_c, xcb_generate_id(m_c), m_root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);

        const xcb_setup_t *setup = xcb_get_setup(m_c);
        const uint8_t count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
        auto map = reply(
            xcb_get_keyboard_mapping_reply(m_c, xcb_get_keyboard_mapping(m_c, setup->min_keycode, count), nullptr));
        if (!map)
            return false;
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.get());
        for (int i = count - 1; i >= 0; --i) { // the lowest code for a symbol wins
            if (const xcb_keysym_t sym = syms[i * map->keysyms_per_keycode])
                m_codes[sym] = uint8_t(setup->min_keycode + i);
        }
        return true;
    }

    // Presses the keys of `symbols` in turn and lets them go in the reverse order.
    void keys(std::initializer_list<xcb_keysym_t> symbols)
    {
        for (const xcb_keysym_t sym : symbols)
            xcb_test_fake_input(m_c, XCB_KEY_PRESS, m_codes[sym], XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (auto sym = std::rbegin(symbols); sym != std::rend(symbols); ++sym)
            xcb_test_fake_input(m_c, XCB_KEY_RELEASE, m_codes[*sym], XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_c);
    }

    // Reports focus changes of a window as events too.
    void watchFocus(xcb_window_t window)
    {
        const uint32_t mask = XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);
    }

    xcb_window_t focus()
    {
        auto r = reply(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        return r ? r->focus : XCB_NONE;
    }

    void setFocus(xcb_window_t window)
    {
        xcb_set_input_focus(m_c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
        xcb_flush(m_c);
    }

    QByteArray property(xcb_window_t window, const char *name)
    {
        auto a = reply(xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name), nullptr));
        if (!a)
            return {};
        auto p = reply(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, a->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
        if (!p)
            return {};
        return {static_cast<const char *>(xcb_get_property_value(p.get())), xcb_get_property_value_length(p.get())};
    }

    // Where a top-level window is on the screen.
    QRect geometry(xcb_window_t window)
    {
        auto g = reply(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr));
        return g ? QRect(g->x, g->y, g->width, g->height) : QRect();
    }

    // The pixels of the middle of the window, where its list shows rows (neither its filter above nor its
    // count below), or nothing when that part is of one colour: no row painted.
    QByteArray rowPixels(xcb_window_t window)
    {
        const auto start = Clock::now();
        QByteArray pixels;
        auto g = reply(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr));
        if (g) {
            const auto x = int16_t(g->width / 10), y = int16_t(g->height * 15 / 100);
            const auto w = uint16_t(g->width * 8 / 10), h = uint16_t(g->height * 65 / 100);
            auto image = reply(xcb_get_image_reply(
                m_c, xcb_get_image(m_c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, x, y, w, h, ~0u), nullptr));
            if (image && g->depth >= 24) {
                const auto *p = reinterpret_cast<const uint32_t *>(xcb_get_image_data(image.get()));
                const int n = xcb_get_image_data_length(image.get()) / 4;
                std::unordered_map<uint32_t, int> colours;
                int most = 0;
                for (int i = 0; i < n; ++i)
                    most = std::max(most, ++colours[p[i] & 0xffffff]);
                if (n - most >= 50) // a row's text is hundreds of pixels
                    pixels = QByteArray(reinterpret_cast<const char *>(p), n * 4);
            }
        }
        g_looks.push_back(msSince(start));
        return pixels;
    }

    // The next event `want` accepts, or nothing after `timeoutMs`.
    std::optional<Event> next(int timeoutMs, const std::function<bool(const Event &)> &want)
    {
        const auto start = Clock::now();
        for (;;) {
            while (xcb_generic_event_t *raw = xcb_poll_for_event(m_c)) {
                const std::optional<Event> e = translate(raw);
                std::free(raw);
                if (e && want(*e))
                    return e;
            }
            const double left = timeoutMs - msSince(start);
            if (left <= 0 || xcb_connection_has_error(m_c))
                return {};
            pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
            ::poll(&fd, 1, int(left) + 1);
        }
    }

    std::optional<Event> next(int timeoutMs, Event::Kind kind, xcb_window_t window)
    {
        return next(timeoutMs, [&](const Event &e) { return e.kind == kind && e.window == window; });
    }

private:
    std::optional<Event> translate(const xcb_generic_event_t *raw)
    {
        const auto now = Clock::now();
        const uint8_t type = raw->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY)
            return Event{Event::Map, reinterpret_cast<const xcb_map_notify_event_t *>(raw)->window, now, {}};
        if (type == XCB_UNMAP_NOTIFY)
            return Event{Event::Unmap, reinterpret_cast<const xcb_unmap_notify_event_t *>(raw)->window, now, {}};
        if (type == XCB_FOCUS_IN)
            return Event{Event::Focus, reinterpret_cast<const xcb_focus_in_event_t *>(raw)->event, now, {}};
        if (type == m_damageNotify) {
            const auto *e = reinterpret_cast<const xcb_damage_notify_event_t *>(raw);
            return Event{Event::Paint, e->drawable, now, QRect(e->area.x, e->area.y, e->area.width, e->area.height)};
        }
        return {};
    }

    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_root = 0;
    uint8_t m_damageNotify = 0;
    std::map<xcb_keysym_t, uint8_t> m_codes;
};

constexpr xcb_keysym_t kControlL = 0xffe3, kAltL = 0xffe9, kReturn = 0xff0d;

// CPU time the process has used, in clock ticks (utime + stime of /proc/PID/stat).
long cpuTicks(qint64 pid)
{
    const QByteArray stat = fileBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong();
}

// Waits until the process has used no processor time for 300 ms; the milliseconds waited.
double waitUntilIdle(qint64 pid)
{
    const auto start = Clock::now();
    long before = cpuTicks(pid);
    while (msSince(start) < 60000) {
        QThread::msleep(300);
        const long now = cpuTicks(pid);
        if (now == before)
            break;
        before = now;
    }
    return msSince(start);
}

struct Figures
{
    std::vector<double> start, firstMapped, firstRows, mapped, rows, copiedMapped, copiedRows, focused, typed, pasted;
    int failures = 0;
    qint64 pastedChars = 0;
};

void print(const char *what, const std::vector<double> &ms)
{
    std::printf("  %-48s median %7.1f ms   p90 %7.1f ms   (N=%zu)\n", what, percentile(ms, 0.5), percentile(ms, 0.9),
                ms.size());
}

// The client's next "changed" line: the time its text changed.
std::optional<Clock::time_point> clientChanged(QProcess &client, int timeoutMs)
{
    const auto start = Clock::now();
    while (msSince(start) < timeoutMs) {
        while (client.canReadLine()) {
            const QByteArray line = client.readLine().trimmed();
            if (line.startsWith("changed "))
                return Clock::time_point(std::chrono::nanoseconds(line.mid(8).toLongLong()));
        }
        client.waitForReadyRead(timeoutMs);
    }
    return {};
}

// One program on the history in `home`: its start, then `cycles` popups over the client's window.
void oneRun(Server &x, const QString &home, QProcess &client, xcb_window_t clientWindow, int cycles, Figures &f)
{
    ProgramInstance vornkip(home);
    const auto launched = Clock::now();
    if (!vornkip.launch()) {
        std::printf("  (vornkip did not start)\n");
        ++f.failures;
        return;
    }
    const QByteArray pid = QByteArray::number(vornkip.process().processId());
    xcb_window_t popup = 0;
    const auto bar = x.next(120000, [&](const Server::Event &e) {
        if (e.kind != Server::Event::Map)
            return false;
        const QByteArray wmPid = x.property(e.window, "_NET_WM_PID");
        return wmPid.size() == 4 && QByteArray::number(*reinterpret_cast<const quint32 *>(wmPid.constData())) == pid &&
               x.property(e.window, "WM_CLASS").split('\0').value(1) == "vornkip";
    });
    if (!bar) {
        std::printf("  (the bar was not mapped within 120 s)\n");
        ++f.failures;
        return;
    }
    f.start.push_back(msBetween(launched, bar->at));
    std::printf("  run: bar mapped after %.1f ms, idle %.0f ms later\n", f.start.back(),
                waitUntilIdle(vornkip.process().processId()));
    std::fflush(stdout);

    const char letters[] = {'q', 'w', 'j', 'k', 'x'};
    QByteArray lastRows; // what the list showed when the popup was last seen
    for (int i = 0; i < cycles; ++i) {
        // The other program has the focus, as when the user works in it.
        for (int tries = 0; x.focus() != clientWindow && tries < 100; ++tries) {
            x.setFocus(clientWindow);
            QThread::msleep(10);
        }
        client.readAll();
        // Every other popup comes after a new copy, the history one entry longer than the list last shown.
        const bool afterCopy = i % 2 == 1;
        if (afterCopy) {
            const QString history = home + QStringLiteral("/temp.ifo");
            const qint64 size = QFileInfo(history).size();
            copyText(QStringLiteral("popup bench %1 コピー").arg(i).toUtf8());
            for (int waited = 0; QFileInfo(history).size() == size && waited < kWaitMs; waited += 20)
                QThread::msleep(20);
            QThread::msleep(500); // the user turns from copying to the shortcut
            waitUntilIdle(vornkip.process().processId());
        }

        const auto pressed = Clock::now();
        x.keys({kControlL, kAltL, 'v'});
        const auto mapped = x.next(kWaitMs, [&](const Server::Event &e) {
            if (e.kind != Server::Event::Map)
                return false;
            if (e.window != popup && x.property(e.window, "_NET_WM_NAME") == QStringLiteral("履歴").toUtf8()) {
                popup = e.window;
                x.watchFocus(popup);
            }
            return e.window == popup;
        });
        if (!mapped) {
            std::printf("  (Ctrl+Alt+V: no popup within %d ms)\n", kWaitMs);
            ++f.failures;
            break;
        }
        const QRect popupArea = x.geometry(popup);
        // Its first rows: a paint after which the list part is not blank and not what it showed when closed.
        QByteArray rows;
        const auto painted = x.next(kWaitMs, [&](const Server::Event &e) {
            if (e.kind != Server::Event::Paint || !e.area.intersects(popupArea))
                return false;
            rows = x.rowPixels(popup);
            return !rows.isEmpty() && rows != lastRows;
        });
        // Keys typed before the popup has the focus would go to the other program.
        std::optional<Clock::time_point> focused;
        if (x.focus() == popup) {
            focused = Clock::now();
        } else if (const auto e = x.next(kWaitMs, [&](const Server::Event &e) {
                       return e.kind == Server::Event::Focus && e.window == popup && x.focus() == popup;
                   })) {
            focused = e->at;
        }
        if (!painted || !focused) {
            std::printf("  (the popup showed no rows or got no focus within %d ms)\n", kWaitMs);
            ++f.failures;
            break;
        }
        (i == 0 ? f.firstMapped : afterCopy ? f.copiedMapped : f.mapped).push_back(msBetween(pressed, mapped->at));
        (i == 0 ? f.firstRows : afterCopy ? f.copiedRows : f.rows).push_back(msBetween(pressed, painted->at));
        if (i > 0)
            f.focused.push_back(msBetween(pressed, *focused));
        QThread::msleep(100); // the user reads the rows

        // A letter: the found rows replace the history's.
        const QByteArray before = x.rowPixels(popup);
        const auto typedAt = Clock::now();
        x.keys({xcb_keysym_t(letters[i % std::size(letters)])});
        const auto found = x.next(kWaitMs, [&](const Server::Event &e) {
            if (e.kind != Server::Event::Paint || !e.area.intersects(popupArea))
                return false;
            rows = x.rowPixels(popup);
            return !rows.isEmpty() && rows != before;
        });
        if (!found) {
            std::printf("  (typing %c showed no rows found within %d ms)\n", letters[i % std::size(letters)], kWaitMs);
            ++f.failures;
            break;
        }
        f.typed.push_back(msBetween(typedAt, found->at));
        lastRows = rows;
        QThread::msleep(100);

        // Enter: the first found entry pasted into the other program.
        const auto enter = Clock::now();
        x.keys({kReturn});
        const auto changed = clientChanged(client, kWaitMs);
        if (!changed) {
            std::printf("  (Enter: nothing pasted within %d ms)\n", kWaitMs);
            ++f.failures;
            break;
        }
        f.pasted.push_back(msBetween(enter, *changed));
        QThread::msleep(400); // the paste's key map is put back, and the user goes on
    }
    client.write("text\n");
    while (!client.canReadLine() || !client.peek(5).startsWith("text ")) {
        if (client.canReadLine())
            client.readLine();
        else if (!client.waitForReadyRead(kWaitMs))
            break;
    }
    f.pastedChars = QString::fromUtf8(QByteArray::fromBase64(client.readLine().mid(5).trimmed())).size();
    vornkip.stop(60000);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int cycles = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    constexpr int entries = 999999;
    benchutil::BenchDisplay display;
    if (!display.start("popupe2ebench"))
        return 1;
    Server x;
    if (!x.connect(g_env.value(QStringLiteral("DISPLAY")).toLocal8Bit())) {
        std::fprintf(stderr, "popupe2ebench: no connection to the X server, or it has no Damage or XTest\n");
        return 1;
    }
    std::printf("vornkip under Xvfb %s: %s\n", qPrintable(g_env.value(QStringLiteral("DISPLAY"))),
                qPrintable(benchutil::program()));
    const QByteArray cpu = fileBytes(QStringLiteral("/proc/cpuinfo"));
    const qsizetype model = cpu.indexOf("model name");
    std::printf(
        "(machine: %u cores, %s; load average %s)\n", std::thread::hardware_concurrency(),
        cpu.mid(cpu.indexOf(':', model) + 2, cpu.indexOf('\n', model) - cpu.indexOf(':', model) - 2).constData(),
        fileBytes(QStringLiteral("/proc/loadavg")).trimmed().constData());

    QTemporaryDir home;
    const auto generating = Clock::now();
    if (run(QStringLiteral(GEN_HISTORY), {QString::number(entries), home.filePath(QStringLiteral("temp.ifo"))}, 600000)
            .exitCode != 0) {
        std::printf("generating the history failed\n");
        return 1;
    }
    std::printf("(%d-entry history generated: %.1f MB in %.1f s; warm page cache)\n", entries,
                double(QFileInfo(home.filePath(QStringLiteral("temp.ifo"))).size()) / 1e6, msSince(generating) / 1000);
    std::fflush(stdout);

    qulonglong clientWindow = 0;
    std::unique_ptr<QProcess> client =
        startPasteClient(QStringLiteral(VORNKIP_PASTECLIENT), QStringLiteral("Pasteclient"), &clientWindow);
    if (!client) {
        std::printf("the other program's window did not show\n");
        return 1;
    }
    Figures f;
    for (int r = 0; r < runs; ++r)
        oneRun(x, home.path(), *client, xcb_window_t(clientWindow), cycles, f);
    client->closeWriteChannel();
    client->waitForFinished();

    std::printf("%d runs of %d popups at %d entries:\n", runs, cycles, entries);
    print("start: bar mapped", f.start);
    print("first shortcut of a run: popup mapped", f.firstMapped);
    print("first shortcut of a run: first rows on screen", f.firstRows);
    print("shortcut: popup mapped", f.mapped);
    print("shortcut: first rows on screen", f.rows);
    print("shortcut after a new copy: popup mapped", f.copiedMapped);
    print("shortcut after a new copy: first rows on screen", f.copiedRows);
    print("shortcut: popup has the keyboard focus", f.focused);
    print("typed letter: first found rows on screen", f.typed);
    print("Enter: text in the other program's field", f.pasted);
    std::printf("  (%d failures; the other program's field holds %lld characters)\n", f.failures,
                static_cast<long long>(f.pastedChars));
    std::printf("  (one look at the popup's pixels: median %.2f ms, p90 %.2f ms)\n", percentile(g_looks, 0.5),
                percentile(g_looks, 0.9));
    std::printf("(load average at the end: %s)\n", fileBytes(QStringLiteral("/proc/loadavg")).trimmed().constData());
    return f.failures == 0 ? 0 : 1;
}
