#include "qt/QtMainWindow.h"

#include "link/PortRules.h"
#include "panel/LampWords.h"
#include "qt/ImageIcon.h"
#include "qt/QtColors.h"
#include "qt/QtLamp.h"
#include "qt/QtMenuItem.h"
#include "qt/QtPushButton.h"
#include "qt/QtRegexMatcher.h"
#include "qt/QtSlider.h"
#include "qt/QtTextBox.h"
#include "qt/Twips.h"
#include "qt/WindowPlacement.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace quorvel {

namespace {

// The client area and every control's box, in twips.
constexpr int kClientWidth = 2775;
constexpr int kClientHeight = 2595;
struct TwipsBox {
    int left;
    int top;
    int width;
    int height;
};
constexpr TwipsBox kSldTxPwr{240, 120, 675, 2295};
constexpr TwipsBox kLblTxPwr{960, 240, 735, 255};
constexpr TwipsBox kTxtTxPwr{1800, 120, 735, 435};
constexpr TwipsBox kLabel1{960, 720, 495, 255};
constexpr TwipsBox kShpPAEnabled{960, 1080, 495, 255};
constexpr TwipsBox kCmdPoll{1680, 1320, 735, 495};
constexpr TwipsBox kLabel2{960, 1560, 735, 255};
constexpr TwipsBox kShpK3Con{960, 1920, 495, 255};
constexpr TwipsBox kCmdExit{1680, 1920, 735, 495};

void place(QWidget* control, const TwipsBox& box) {
    control->setGeometry(
        twipsRect(box.left, box.top, box.width, box.height, control->logicalDpiX(), control->logicalDpiY()));
}

// The boxes were laid out for a small classic dialog font; a desktop font too wide for a caption's
// fixed box is stepped down by half points to the largest size at which the caption fits, instead of
// showing "K3 Powe".
QFont fittedFont(QFont font, const QString& caption, int width) {
    constexpr double kSmallestPoints = 6.0;
    constexpr double kStep = 0.5;
    while (QFontMetrics(font).horizontalAdvance(caption) > width && font.pointSizeF() - kStep >= kSmallestPoints) {
        font.setPointSizeF(font.pointSizeF() - kStep);
    }
    return font;
}

// A control of the client area, named and placed by its design.
template <typename Control, typename... Args>
Control* makeControl(const char* name, const TwipsBox& box, QWidget* parent, Args&&... args) {
    auto* control = new Control(std::forward<Args>(args)..., parent);
    control->setObjectName(QLatin1String(name));
    place(control, box);
    return control;
}

QLabel* makeLabel(const QString& caption, const char* name, const TwipsBox& box, QWidget* parent) {
    auto* label = makeControl<QLabel>(name, box, parent, caption);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFont(fittedFont(label->font(), caption, label->width()));
    return label;
}

// A plain widget is a pane to a screen reader; a top-level window is a frame, which it announces.
QAccessibleInterface* windowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(QtMainWindow::staticMetaObject.className()) && object != nullptr &&
        object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

QIcon programIcon() {
    return imageIcon({QStringLiteral(":/icons/quorvel-16.png"), QStringLiteral(":/icons/quorvel-32.png"),
                      QStringLiteral(":/icons/quorvel-48.png")},
                     "png");
}

} // namespace

QtMainWindow::QtMainWindow(SerialComm& comm, SettingsStore& settings, Clock& clock, SharingDoors* sharing,
                           QWidget* parent)
    : QWidget(parent), m_dialogs(m_appTitle, this), m_sharingDialog(this) {
    QAccessible::installFactory(windowAccessible); // once per program: Qt skips a factory it holds
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_menuBar = new QMenuBar(this);
    layout->setMenuBar(m_menuBar);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvel"));
    setWindowIcon(programIcon());

    m_tmrPoll = new QtTimer(kDefaultPollInterval, this);
    m_tmrPoll->setObjectName(QStringLiteral("tmrPoll"));
    m_tmrK3Con = new QtTimer(kWatchdogInterval, this);
    m_tmrK3Con->setObjectName(QStringLiteral("tmrK3Con"));

    buildMenus();
    buildClientArea();

    std::array<MenuItem*, 16> comItems{};
    for (std::size_t i = 0; i < comItems.size(); ++i) {
        comItems.at(i) = m_mnuCom.at(i);
    }
    Form1Controls controls{*this,
                           m_appTitle,
                           m_dialogs,
                           settings,
                           clock,
                           comm,
                           *m_tmrPoll,
                           *m_tmrK3Con,
                           *m_sldTxPwr,
                           *m_txtTxPwr,
                           *m_shpPAEnabled,
                           *m_shpK3Con,
                           *m_cmdPoll,
                           *m_cmdExit,
                           comItems,
                           *m_mnuPoll,
                           [] { return std::make_unique<QtRegexMatcher>(); }};
    controls.sharing = sharing;
    controls.sharingDialog = &m_sharingDialog;
    controls.connectionDialog = &m_connectionDialog;
    controls.serialDevices = &m_serialDevices;
    controls.portFolder = &m_portFolder;
    m_form = std::make_unique<Form1>(controls);
    connectEvents();

    // The client area keeps its size and place; the window is as wide as the menu bar needs, if a
    // large desktop font makes it wider, so that no title hides behind the bar's extension button.
    const QSize client = m_client->size();
    const int width = std::max(client.width(), menuBar()->sizeHint().width());
    setFixedSize(width, menuBar()->heightForWidth(width) + client.height());
}

QtMainWindow::~QtMainWindow() {
    // Children go after the members they report to; a focus change while they are torn down must
    // find nothing to run.
    m_gate.close();
    delete m_client;
}

void QtMainWindow::buildMenus() {
    QMenu* comPort = menuBar()->addMenu(QStringLiteral("Com Port"));
    comPort->setObjectName(QStringLiteral("mnuComPort"));
    for (std::size_t i = 0; i < m_mnuCom.size(); ++i) {
        const QString number = QString::number(i + 1);
        auto* item = new QtMenuItem(QStringLiteral("Com") + number, comPort);
        item->setObjectName(QStringLiteral("mnuCom") + number);
        comPort->addAction(item);
        m_mnuCom.at(i) = item;
    }
    m_mnuConnection = comPort->addAction(QStringLiteral("Co&nnection\u2026"));
    m_mnuConnection->setObjectName(QStringLiteral("mnuConnection"));

    QMenu* settingsMenu = menuBar()->addMenu(QStringLiteral("Settings"));
    settingsMenu->setObjectName(QStringLiteral("mnuSettings"));
    m_mnuPoll = new QtMenuItem(QStringLiteral("Polling Enabled"), settingsMenu);
    m_mnuPoll->setObjectName(QStringLiteral("mnuPoll"));
    settingsMenu->addAction(m_mnuPoll);
    m_mnuInterval = settingsMenu->addAction(QStringLiteral("Polling Interval"));
    m_mnuInterval->setObjectName(QStringLiteral("mnuInterval"));
    m_mnuSharing = settingsMenu->addAction(QStringLiteral("Sharing…"));
    m_mnuSharing->setObjectName(QStringLiteral("mnuSharing"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    m_mnuHelpAbout = help->addAction(QStringLiteral("About"));
    m_mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));

    // Access keys that leave the captions as they read: an ampersand would underline a letter.
    const std::array<std::pair<QMenu*, QKeyCombination>, 3> accessKeys{
        {{comPort, Qt::ALT | Qt::Key_C}, {settingsMenu, Qt::ALT | Qt::Key_S}, {help, Qt::ALT | Qt::Key_H}}};
    for (const auto& accessKey : accessKeys) {
        QAction* menu = accessKey.first->menuAction();
        connect(new QShortcut(QKeySequence(accessKey.second), this), &QShortcut::activated, this,
                [this, menu] { menuBar()->setActiveAction(menu); });
    }
    menuBar()->setAccessibleDescription(QStringLiteral("Alt+C Com Port, Alt+S Settings, Alt+H Help"));

    // Without this, macOS would move "About" into the application menu.
    for (QAction* action : findChildren<QAction*>()) {
        action->setMenuRole(QAction::NoRole);
    }
}

void QtMainWindow::buildClientArea() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    layout()->addWidget(client);
    m_client = client;
    client->setFixedSize(twipsToPixels(kClientWidth, client->logicalDpiX()),
                         twipsToPixels(kClientHeight, client->logicalDpiY()));

    m_sldTxPwr = makeControl<QtSlider>("sldTxPwr", kSldTxPwr, client);
    m_sldTxPwr->setRange(0, 100);
    m_sldTxPwr->setTickFrequency(10);
    m_sldTxPwr->setLargeChange(1);
    m_sldTxPwr->setSmallChange(1);
    m_sldTxPwr->setValue(0);

    QLabel* powerLabel = makeLabel(QStringLiteral("K3 Power"), "lblTxPwr", kLblTxPwr, client);

    m_txtTxPwr = makeControl<QtTextBox>("txtTxPwr", kTxtTxPwr, client);
    QFont font(QStringLiteral("Arial"), 18);
    font.setWeight(QFont::Normal);
    m_txtTxPwr->setFont(font);
    // Black on green, the panel colours of the station's other gear.
    QPalette colours = m_txtTxPwr->palette();
    colours.setColor(QPalette::Base, toQColor(kGreen, colours));
    colours.setColor(QPalette::Text, toQColor(kBlack, colours));
    m_txtTxPwr->setPalette(colours);
    m_txtTxPwr->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_txtTxPwr->setMaxLength(std::numeric_limits<int>::max());
    // The caption has no access key to hand on, so the buddy only names the box for screen readers.
    powerLabel->setBuddy(m_txtTxPwr);
    m_txtTxPwr->setAccessibleDescription(QStringLiteral("Type a power in watts and press Enter to send it"));

    makeLabel(QStringLiteral("PA On"), "Label1", kLabel1, client);
    m_shpPAEnabled = makeControl<QtLamp>("shpPAEnabled", kShpPAEnabled, client, LampRole::Range);
    m_cmdPoll = makeControl<QtPushButton>("cmdPoll", kCmdPoll, client, QStringLiteral("&Poll"));
    m_cmdPoll->setAccessibleDescription(QStringLiteral("Ask the radio for its power now"));
    makeLabel(QStringLiteral("K3 Con"), "Label2", kLabel2, client);
    m_shpK3Con = makeControl<QtLamp>("shpK3Con", kShpK3Con, client, LampRole::Link);
    m_cmdExit = makeControl<QtPushButton>("cmdExit", kCmdExit, client, QStringLiteral("&Exit"));
    m_cmdExit->setAccessibleDescription(QStringLiteral("Close the port, remember the window's place and quit"));

    setTabOrder(m_cmdPoll, m_cmdExit);
    setTabOrder(m_cmdExit, m_sldTxPwr);
    setTabOrder(m_sldTxPwr, m_txtTxPwr);
    m_cmdPoll->setFocus();
}

template <typename Sender, typename Signal>
void QtMainWindow::forwardUserEvent(Sender* sender, Signal signal, void (Form1::*handler)()) {
    connect(sender, signal, this, [this, handler] { m_gate.user([this, handler] { (m_form.get()->*handler)(); }); });
}

void QtMainWindow::connectEvents() {
    forwardUserEvent(m_cmdExit, &QPushButton::clicked, &Form1::cmdExit_Click);
    forwardUserEvent(m_cmdPoll, &QPushButton::clicked, &Form1::cmdPoll_Click);
    forwardUserEvent(m_sldTxPwr, &QtSlider::mouseDown, &Form1::sldTxPwr_MouseDown);
    forwardUserEvent(m_sldTxPwr, &QtSlider::mouseUp, &Form1::sldTxPwr_MouseUp);
    forwardUserEvent(m_txtTxPwr, &QtTextBox::gotFocus, &Form1::txtTxPwr_GotFocus);
    forwardUserEvent(m_txtTxPwr, &QtTextBox::lostFocus, &Form1::txtTxPwr_LostFocus);
    forwardUserEvent(m_mnuPoll, &QtMenuItem::clicked, &Form1::mnuPoll_Click);
    forwardUserEvent(m_mnuConnection, &QAction::triggered, &Form1::mnuConnection_Click);
    forwardUserEvent(m_mnuInterval, &QAction::triggered, &Form1::mnuInterval_Click);
    forwardUserEvent(m_mnuHelpAbout, &QAction::triggered, &Form1::mnuHelpAbout_Click);
    forwardUserEvent(m_mnuSharing, &QAction::triggered, &Form1::mnuSharing_Click);
    for (std::size_t i = 0; i < m_mnuCom.size(); ++i) {
        const int port = static_cast<int>(i + 1);
        connect(m_mnuCom.at(i), &QtMenuItem::clicked, this,
                [this, port] { m_gate.user([this, port] { m_form->mnuCom_Click(port); }); });
    }

    // The key is handed over by value: a handler that is still running makes this one wait, and
    // the keystroke has to be typed or dropped now.
    m_txtTxPwr->setKeyPressHandler([this](std::int16_t& keyAscii) {
        const auto key = std::make_shared<std::int16_t>(keyAscii);
        m_gate.user([this, key] { m_form->txtTxPwr_KeyPress(*key); });
        keyAscii = *key;
    });

    connect(m_tmrPoll, &QtTimer::tick, this, [this] { m_gate.tick([this] { m_form->tmrPoll_Timer(); }); });
    connect(m_tmrK3Con, &QtTimer::tick, this, [this] { m_gate.tick([this] { m_form->tmrK3Con_Timer(); }); });
}

void QtMainWindow::load() {
    m_gate.user([this] {
        m_form->Form_Load();
        m_shpPAEnabled->forgetState();
        m_form->sharing_Load();
    });
}

void QtMainWindow::deliverSharingCount(int programs) {
    m_gate.user([this, programs] { m_form->sharing_Changed(static_cast<std::size_t>(programs)); });
}

void QtMainWindow::deliverOnComm() {
    m_gate.receive([this] { m_form->MSComm1_OnComm(); });
}

double QtMainWindow::left() const {
    return pixelsToTwips(x(), logicalDpiX());
}

double QtMainWindow::top() const {
    return pixelsToTwips(y(), logicalDpiY());
}

void QtMainWindow::setLeft(double twips) {
    move(twipsToPixels(twips, logicalDpiX()), y());
}

void QtMainWindow::setTop(double twips) {
    move(x(), twipsToPixels(twips, logicalDpiY()));
}

void QtMainWindow::endProgram() {
    m_gate.close();
    emit programEnded();
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    // Closing by the frame ends the program without a word to Form1: nothing is saved, and the
    // power box losing the focus on the way out sends nothing.
    m_gate.close();
    QWidget::closeEvent(event);
}

void QtMainWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        QList<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens()) {
            screens.append(screen->availableGeometry());
        }
        const QRect frame(pos(), frameGeometry().size());
        const QRect primary = QGuiApplication::primaryScreen() != nullptr
                                  ? QGuiApplication::primaryScreen()->availableGeometry()
                                  : QRect();
        move(placementOnScreens(frame, screens, primary));
    }
    QWidget::showEvent(event);
}

} // namespace quorvel
