#pragma once

#include "link/PortRules.h"
#include "link/RunTimeError.h"
#include "link/SerialComm.h"
#include "qt/ByteLink.h"
#include "qt/RouteLinks.h"
#include "qt/SerialDeviceLink.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace quorvel {

// The serial component on the window, with the classic control's properties and errors. The bytes
// go through a ByteLink: Com N's serial device, or the link the route names (setRoute).
//
// Errors are RunTimeErrors whose description names the device or route: 8002 the number or route
// leads to nothing usable, 8005 the device is busy (or CommPort is written while open), 8010 no
// permission, 8018 a write while closed, 8020 a failed write, 380 a Settings text that is not
// "baud,P,data,stop" or a route that is none, 75 networking that cannot be loaded for a network
// route.
//
// Settings and the route take effect at the next open; RThreshold, RTSEnable and DTREnable at once
// and at every open. Text is handed over byte for byte: one char of std::string per byte
// (Latin-1). A link that loses its device or server reads as closed (portOpen() false) and takes
// it up again by itself; a refusal it meets on its own (at a network route's first connect, or on a
// device's return) is raised once: onComm() fires and the next input() throws it. Choosing a port
// or route (CommPort, the route, PortOpen) ends the watch.
class QtSerialComm : public QObject, public SerialComm {
    Q_OBJECT
public:
    // network: where network routes' links come from; without it they are refused (8002).
    explicit QtSerialComm(PortSearchDirs dirs, NetworkKit* network = nullptr, QObject* parent = nullptr);
    ~QtSerialComm() override;

    // The folders of the user's own environment (HOME, XDG_CONFIG_HOME).
    static PortSearchDirs defaultSearchDirs();

    void setCommPort(std::int16_t port) override;
    void setSettings(const std::string& settings) override;
    void setRoute(const std::string& route) override;
    bool portOpen() const override;
    void setPortOpen(bool open) override;
    void setRThreshold(std::int16_t threshold) override;
    void setRTSEnable(bool enable) override;
    void setDTREnable(bool enable) override;
    void output(const std::string& text) override;
    // Empty while the port is closed.
    std::string input() override;

    // Makes the link for a route; the default is makeRouteLink. For links that wrap another.
    void setLinkFactory(LinkFactory factory) { m_linkFactory = std::move(factory); }
    // Puts a link in front of every link made, the serial device's too.
    using LinkDecorator = std::function<std::unique_ptr<ByteLink>(std::unique_ptr<ByteLink>)>;
    void setLinkDecorator(LinkDecorator decorator) { m_linkDecorator = std::move(decorator); }

    // How often a vanished device is looked for; it is reopened well within 2 s of its return.
    static constexpr auto kReturnWatchInterval = SerialDeviceLink::kReturnWatchInterval;

    // True while the port was opened and its device or server is away (or not reached yet).
    bool watchingForReturn() const { return m_link != nullptr && !m_link->isOpen(); }

    // The device Com N stands for with its links followed, or the entry that exists but leads
    // nowhere, or an empty text when no candidate exists.
    QString devicePathFor(int port) const { return SerialDeviceLink::mappingFor(port, m_dirs).device; }

signals:
    // Characters have arrived: at least RThreshold of them wait (never while RThreshold is 0).
    void onComm();

private:
    struct LaterDeleter {
        void operator()(ByteLink* link) const;
    };

    std::unique_ptr<ByteLink, LaterDeleter> newLink();
    // Puts the radio in the command mode whose power replies carry the range flag.
    void askForExtendedReplies();
    void endLink();
    void onReadyRead();
    void onOpened();
    void onLost(const QString& reason);
    void onRefused(int number, const QString& description);

    PortSearchDirs m_dirs;
    LinkFactory m_linkFactory;
    LinkDecorator m_linkDecorator;
    // Kept from the open until the port is closed, also while its device or server is away.
    std::unique_ptr<ByteLink, LaterDeleter> m_link;
    std::int16_t m_commPort = 1;
    std::string m_route;
    SerialLine m_line;
    // 1, so that characters raise onComm() even where start-up stopped before setting it.
    std::int16_t m_rThreshold = 1;
    bool m_rtsEnable = false;
    bool m_dtrEnable = false;
    bool m_everOpened = false;             // the link has been open since this open was asked for
    std::optional<RunTimeError> m_pending; // a refusal met alone, not yet handed to input()
};

} // namespace quorvel
