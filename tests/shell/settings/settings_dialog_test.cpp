// The settings dialog driven as a user drives it: the Connection page check and the range check,
// OK, Apply and Cancel with the save that follows every run, the remembered page, the proxy
// mapping with one checked row per protocol and its passwords, and the HTTP request sample.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <cstdlib>
#include <optional>
#include <vector>

#include "shell/settings/proxy_dialog.h"
#include "shell/settings/settings_dialog.h"
#include "shell/settings/settings_page.h"
#include "shell/settings/settings_pages.h"
#include "store/password_store.h"
#include "tests/shell/shell_fixture.h"

namespace tellweir::testing {
namespace {

const QString kPerSiteMessage = QStringLiteral(
    "Please enter max connection per site integer no more than max downloads value.");

// A check box or button by its text, or the control a label with this text names.
template <class T>
T* Control(QWidget& root, const QString& text) {
    for (QAbstractButton* b : root.findChildren<QAbstractButton*>())
        if (b->text() == text && b->isVisibleTo(&root)) return qobject_cast<T*>(b);
    for (QLabel* l : root.findChildren<QLabel*>())
        if (l->text() == text && l->isVisibleTo(&root)) return qobject_cast<T*>(l->buddy());
    return nullptr;
}

QTreeWidgetItem* TreeItem(QTreeWidget* tree, const QString& label) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

void ClickPage(CSettingsDialog& dialog, const QString& label) {
    QTreeWidgetItem* item = TreeItem(dialog.Tree(), label);
    ASSERT_NE(item, nullptr) << label.toStdString();
    QTest::mouseClick(dialog.Tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      dialog.Tree()->visualItemRect(item).center());
}

void TypeNumber(QSpinBox* edit, int value) {
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::number(value));
}

class SettingsDialogTest : public ShellTest {
  protected:
    static void SetUpTestSuite() {
        // The menu's dialog saves into the user's files: keep them in a folder of our own.
        static TempDir home("settings-home");
        setenv("HOME", home.Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        ShellTest::SetUpTestSuite();
    }

    void SetUp() override {
        ShellTest::SetUp();
        AppSettingTable().ApplyDefaults(values_);
        ClampSettings(values_);
        values_.SetString(setting::kHttpUserAgent, "Tellweir 1.1 (home)");
    }

    // Runs the dialog as the menu does; `drive` acts on it once it is up and ends it (a dialog
    // left open is cancelled, so that a failed step cannot hang the test).
    int Run(const std::function<void(CSettingsDialog&)>& drive) {
        QTimer::singleShot(0, [&] {
            CSettingsDialog* dialog = nullptr;
            WaitFor([&] {
                dialog = qobject_cast<CSettingsDialog*>(QApplication::activeModalWidget());
                return dialog != nullptr;
            });
            if (!dialog) return;
            drive(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        return RunSettingsDialog(nullptr,
                                 {.settings = &values_,
                                  .passwords = &passwords_,
                                  .save = [this](const CPropertySet& s) { saved_.push_back(s); }});
    }

    CPropertySet values_;
    CPasswordStore passwords_;
    std::vector<CPropertySet> saved_;
};

// Going from page to page never changes the dialog's size: it fits its widest page from the
// start.
TEST_F(SettingsDialogTest, KeepsItsSizeFromPageToPage) {
    Run([&](CSettingsDialog& dialog) {
        const QSize size = dialog.size();
        for (const char* page : {"Proxy", "HTTP", "FTP", "Misc", "Connection", "Proxy"}) {
            ClickPage(dialog, page);
            QApplication::processEvents();
            EXPECT_EQ(dialog.size(), size) << page;
        }
    });
}

// Tab goes from the tree through the page's controls to the buttons, then back to the tree.
TEST_F(SettingsDialogTest, TabGoesThroughThePageToTheButtons) {
    Run([&](CSettingsDialog& dialog) {
        ClickPage(dialog, "FTP");
        ASSERT_TRUE(Activate(dialog));
        dialog.Tree()->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), dialog.Tree());
        QStringList buttons;
        bool pageReached = false;
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            if (focus == dialog.Tree()) break;
            if (dialog.CurrentPage()->isAncestorOf(focus)) {
                EXPECT_TRUE(buttons.isEmpty()) << "a page control after the buttons";
                pageReached = true;
            } else if (auto* button = qobject_cast<QPushButton*>(focus)) {
                buttons.append(button->text());
            }
        }
        EXPECT_TRUE(pageReached);
        buttons.sort();
        EXPECT_EQ(buttons, QStringList({"Cancel", "Help (F&1)", "OK"}));  // Apply is disabled
    });
}

// The Connection page keeps the user while per site exceeds the downloads or a value is out of
// its range; accepted values leave the page and reach the settings with OK.
TEST_F(SettingsDialogTest, ConnectionPageChecksItsValues) {
    struct Case {
        int downloads;
        int perSite;
        int timeLimit;
        QString message;  // empty: accepted
    };
    const Case cases[] = {
        {5, 10, 3600, kPerSiteMessage},
        {10, 10, 3600, {}},
        {200, 1, 0, {}},
        {10, 10, 700000, QStringLiteral("Please enter an integer between 0 and 604800.")},
        {0, 1, 3600, QStringLiteral("Please enter an integer between 1 and 200.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.downloads * 1000 + c.perSite);
        values_.SetString(setting::kLastSettingsPath, "Connections");
        values_.SetInt(setting::kMaxConnects, 10);
        values_.SetInt(setting::kMaxConnectsPerSite, 10);
        std::optional<MessageBoxAnswer> ok;
        ok.emplace(QStringLiteral("OK"));
        const int result = Run([&](CSettingsDialog& dialog) {
            ASSERT_EQ(dialog.CurrentPath(), "Connections");
            TypeNumber(Control<QSpinBox>(dialog, "&Max simultaneous downloads:"), c.downloads);
            TypeNumber(Control<QSpinBox>(dialog, "Max connections per &site:"), c.perSite);
            TypeNumber(Control<QSpinBox>(dialog, "Transfer Time &Limit:"), c.timeLimit);
            ClickPage(dialog, "HTTP");
            if (c.message.isEmpty()) {
                EXPECT_FALSE(ok->Answered());
                EXPECT_EQ(dialog.CurrentPath(), "HTTP");
                QTest::keyClick(&dialog, Qt::Key_Return);  // OK
                return;
            }
            EXPECT_EQ(ok->Text(), c.message);
            EXPECT_EQ(dialog.CurrentPath(), "Connections");
            EXPECT_EQ(dialog.Tree()->currentItem()->text(0), "Connection");
            // OK refuses too: the page shows its message again.
            ok.emplace(QStringLiteral("OK"));
            QTest::keyClick(&dialog, Qt::Key_Return);
            EXPECT_TRUE(ok->Answered());
            EXPECT_TRUE(dialog.isVisible());
            if (c.message == kPerSiteMessage) {
                EXPECT_EQ(dialog.focusWidget(),
                          Control<QSpinBox>(dialog, "Max connections per &site:"));
            }
        });
        EXPECT_EQ(result, c.message.isEmpty() ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(values_.Int(setting::kMaxConnects), c.message.isEmpty() ? c.downloads : 10);
        EXPECT_EQ(values_.Int(setting::kMaxConnectsPerSite), c.message.isEmpty() ? c.perSite : 10);
        if (c.message.isEmpty()) {
            EXPECT_EQ(values_.Int(setting::kTransferTimeLimit), c.timeLimit);
        }
        saved_.clear();
    }
}

// The Misc page holds how many versions each task keeps and how much room they take.
TEST_F(SettingsDialogTest, MiscPageBindsTheVersionsSettings) {
    struct Case {
        int kept;
        int megabytes;
        QString message;  // empty: accepted
    };
    const Case cases[] = {
        {0, 20, {}},
        {1000, 1, {}},
        {1001, 50, QStringLiteral("Please enter an integer between 0 and 1000.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kept);
        values_.SetString(setting::kLastSettingsPath, "");
        values_.SetInt(setting::kVersionsKept, 10);
        values_.SetInt(setting::kVersionsMaxSize, 50);
        std::optional<MessageBoxAnswer> ok;
        ok.emplace(QStringLiteral("OK"));
        Run([&](CSettingsDialog& dialog) {
            ASSERT_EQ(dialog.Tree()->currentItem()->text(0), "Misc");
            auto* kept = Control<QSpinBox>(dialog, "&Versions kept:");
            auto* size = Control<QSpinBox>(dialog, "Versions ma&x size (MiB):");
            ASSERT_NE(kept, nullptr);
            ASSERT_NE(size, nullptr);
            EXPECT_EQ(kept->value(), 10);
            TypeNumber(kept, c.kept);
            TypeNumber(size, c.megabytes);
            QTest::keyClick(&dialog, Qt::Key_Return);
            if (!c.message.isEmpty()) {
                EXPECT_EQ(ok->Text(), c.message);
                QTest::keyClick(&dialog, Qt::Key_Escape);
            }
        });
        EXPECT_EQ(values_.Int(setting::kVersionsKept), c.message.isEmpty() ? c.kept : 10);
        EXPECT_EQ(values_.Int(setting::kVersionsMaxSize), c.message.isEmpty() ? c.megabytes : 50);
        saved_.clear();
    }
}

// Only Apply and OK change the settings, only after a change; the settings are saved after the
// dialog whichever way it ended, with the page shown last, and the dialog reopens on it.
TEST_F(SettingsDialogTest, ApplyOkAndCancel) {
    enum class End { Cancel, Ok, ApplyThenCancel, OkUnchanged };
    struct Case {
        End end;
        int ftpType;   // what the settings hold afterwards
        size_t saves;  // including the save after the dialog
    };
    const Case cases[] = {
        {End::Cancel, 1, 1},
        {End::Ok, 2, 2},
        {End::ApplyThenCancel, 2, 2},
        {End::OkUnchanged, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.end));
        values_.SetString(setting::kLastSettingsPath, "");
        values_.SetInt(setting::kFtpDataConnectionType, 1);
        Run([&](CSettingsDialog& dialog) {
            EXPECT_EQ(dialog.CurrentPath(), "- logs -");  // the first page without a memory
            EXPECT_EQ(dialog.Tree()->currentItem()->text(0), "Misc");
            EXPECT_FALSE(dialog.ApplyButton()->isEnabled());
            ClickPage(dialog, "FTP");
            auto* type = Control<QComboBox>(dialog, "&Data connection type:");
            ASSERT_NE(type, nullptr);
            if (c.end != End::OkUnchanged) {
                QTest::keyClick(type, Qt::Key_Down);  // PASV -> PASV RFC
                EXPECT_TRUE(dialog.ApplyButton()->isEnabled());
            }
            switch (c.end) {
                case End::Cancel:
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                    break;
                case End::ApplyThenCancel:
                    QTest::mouseClick(dialog.ApplyButton(), Qt::LeftButton);
                    EXPECT_FALSE(dialog.ApplyButton()->isEnabled());
                    EXPECT_EQ(saved_.size(), 1u);
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                    break;
                case End::Ok:
                case End::OkUnchanged:
                    QTest::keyClick(&dialog, Qt::Key_Return);
                    break;
            }
        });
        EXPECT_EQ(values_.Int(setting::kFtpDataConnectionType), c.ftpType);
        ASSERT_EQ(saved_.size(), c.saves);
        EXPECT_EQ(saved_.back().Int(setting::kFtpDataConnectionType), c.ftpType);
        EXPECT_EQ(saved_.back().String(setting::kLastSettingsPath), "FTP");
        Run([&](CSettingsDialog& dialog) {
            EXPECT_EQ(dialog.CurrentPath(), "FTP");
            EXPECT_EQ(dialog.Tree()->currentItem()->text(0), "FTP");
        });
        saved_.clear();
    }
}

// The Proxy page under the Connection node: checking a second HTTP row unchecks the first and
// makes it the HTTP proxy; the FTP row stays; passwords go to the store, never to the settings.
TEST_F(SettingsDialogTest, OneCheckedProxyRowPerProtocol) {
    values_.SetString(setting::kLastSettingsPath, "Connections\\Proxy");
    values_.SetString(setting::kProxyAll,
                      "HTTP->http://proxy1:8080;HTTP->socks5://bob@proxy2:1080;"
                      "FTP->http://proxy3:3128;HTTP->not a url;");
    values_.SetString(setting::kProxyHttp, "http://proxy1:8080");
    values_.SetInt(setting::kProxyHttpEnabled, 1);
    values_.SetString(setting::kProxyFtp, "http://proxy3:3128");
    values_.SetInt(setting::kProxyFtpEnabled, 1);
    passwords_.Set("socks5://bob@proxy2:1080", "secret");

    Run([&](CSettingsDialog& dialog) {
        EXPECT_EQ(dialog.Tree()->currentItem()->text(0), "Proxy");
        EXPECT_EQ(dialog.Tree()->currentItem()->parent()->text(0), "Connection");
        auto* page = qobject_cast<CProxySettingsPage*>(dialog.CurrentPage());
        ASSERT_NE(page, nullptr);
        QTreeWidget* list = page->List();
        ASSERT_EQ(list->topLevelItemCount(), 3);
        const auto checks = [list] {
            QString marks;
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                marks += list->topLevelItem(i)->checkState(0) == Qt::Checked ? 'x' : '-';
            return marks;
        };
        EXPECT_EQ(checks(), "x-x");
        EXPECT_EQ(list->topLevelItem(1)->text(1), "SOCKS5: bob@proxy2:1080");
        EXPECT_EQ(list->topLevelItem(2)->text(1), "HTTP: proxy3:3128");

        list->setFocus();
        list->setCurrentItem(list->topLevelItem(1));
        QTest::keyClick(list, Qt::Key_Space);
        EXPECT_EQ(checks(), "-xx");
        EXPECT_TRUE(dialog.ApplyButton()->isEnabled());

        // A new row through "Enter Proxy", for FTP, with a password.
        QTimer::singleShot(0, [] {
            auto* proxy = qobject_cast<CProxyDialog*>(QApplication::activeModalWidget());
            if (!proxy) return;
            EXPECT_EQ(proxy->windowTitle(), "Enter Proxy");
            proxy->Protocol()->setCurrentText("FTP");
            proxy->Type()->setCurrentText("SOCKS4");
            QTest::keyClicks(proxy->Host(), " Proxy4 ");
            QTest::keyClicks(proxy->User(), "alice");
            QTest::keyClicks(proxy->Password(), "pw4");
            QTest::keyClick(proxy, Qt::Key_Return);
        });
        QTest::mouseClick(Control<QPushButton>(dialog, "&Add proxy..."), Qt::LeftButton);
        ASSERT_EQ(list->topLevelItemCount(), 4);
        EXPECT_EQ(list->topLevelItem(3)->text(0), "FTP");
        EXPECT_EQ(list->topLevelItem(3)->text(1), "SOCKS4: alice@proxy4:1080");
        // Until Apply the store keeps what it had.
        std::string password;
        EXPECT_FALSE(passwords_.Get("socks4://alice@proxy4", password));
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(values_.String(setting::kProxyHttp), "socks5://bob@proxy2:1080");
    EXPECT_EQ(values_.Int(setting::kProxyHttpEnabled), 1);
    EXPECT_EQ(values_.String(setting::kProxyFtp), "http://proxy3:3128");
    EXPECT_EQ(values_.Int(setting::kProxyFtpEnabled), 1);
    EXPECT_EQ(values_.String(setting::kProxyAll),
              "HTTP->http://proxy1:8080;HTTP->socks5://bob@proxy2:1080;"
              "FTP->http://proxy3:3128;FTP->socks4://alice@proxy4;");  // the usual port goes unsaid
    std::string password;
    EXPECT_TRUE(passwords_.Get("socks4://alice@proxy4", password));
    EXPECT_EQ(password, "pw4");
    EXPECT_TRUE(passwords_.Get("socks5://bob@proxy2:1080", password));
    EXPECT_EQ(password, "secret");
    ASSERT_FALSE(saved_.empty());
    EXPECT_EQ(FormatSettingsExport(AppSettingTable(), saved_.back()).find("pw4"),
              std::string::npos);
}

// Every box of the HTTP page shows at once in the sample, which the HTTP client's request
// builder makes; the User-Agent list is usable only while its box is checked.
TEST_F(SettingsDialogTest, RequestSampleFollowsThePage) {
    struct Case {
        const char* box;
        const char* line;
        bool initially;
    };
    const Case cases[] = {
        {"&Include User-Agent", "User-Agent: Tellweir 1.1 (home)\n", true},
        {"&Enable Accept parameter", "Accept: *.*, */*\n", true},
        {"Include &Referrer parameter", "Referer: http://www.example.com/index.html\n", false},
        {"E&nable Cookies", "Cookie: CookieName=CookieValue;\n", true},
        {"Include &Keep Alive parameter:", "Connection: Keep-Alive\n", true},
    };
    values_.SetInt(setting::kHttpEnableUserAgent, 1);
    values_.SetString(setting::kLastSettingsPath, "HTTP");
    Run([&](CSettingsDialog& dialog) {
        auto* page = qobject_cast<CHttpSettingsPage*>(dialog.CurrentPage());
        ASSERT_NE(page, nullptr);
        const auto sample = [page] { return page->Sample()->toPlainText() + "\n"; };
        EXPECT_TRUE(sample().startsWith("GET /sample/index.html HTTP/1.1\nHost: www.example.com\n"))
            << sample().toStdString();
        auto* agent = Control<QComboBox>(dialog, "&User-Agent:");
        auto* connection = Control<QComboBox>(dialog, "C&onnection:");
        ASSERT_TRUE(agent && connection);
        EXPECT_EQ(agent->count(), 18);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.box);
            auto* box = Control<QCheckBox>(dialog, QString::fromLatin1(c.box));
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(sample().contains(QString::fromLatin1(c.line)), c.initially);
            QTest::keyClick(box, Qt::Key_Space);
            EXPECT_EQ(sample().contains(QString::fromLatin1(c.line)), !c.initially);
        }
        EXPECT_FALSE(agent->isEnabled());
        EXPECT_FALSE(connection->isEnabled());
        EXPECT_FALSE(sample().contains("User-Agent"));
        // A preset chosen from the list shows once the box is on again.
        QTest::keyClick(Control<QCheckBox>(dialog, "&Include User-Agent"), Qt::Key_Space);
        agent->setCurrentIndex(6);
        EXPECT_TRUE(sample().contains("User-Agent: Mozilla/4.0 (compatible)\n"));
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(values_.Int(setting::kHttpEnableUserAgent), 1);  // cancelled
    EXPECT_EQ(values_.String(setting::kHttpUserAgent), "Tellweir 1.1 (home)");
}

// The menu command opens the dialog modally over the window.
TEST_F(SettingsDialogTest, SettingsCommandOpensTheDialog) {
    CMainFrame& frame = Frame();
    QString title;
    QTimer::singleShot(0, [&] {
        WaitFor([] { return qobject_cast<CSettingsDialog*>(QApplication::activeModalWidget()); });
        auto* dialog = qobject_cast<CSettingsDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle();
        EXPECT_TRUE(dialog->isModal());
        EXPECT_EQ(dialog->parentWidget(), &frame);
        dialog->reject();
    });
    frame.Action(CommandId::Settings)->trigger();
    EXPECT_EQ(title, "Settings");
}

}  // namespace
}  // namespace tellweir::testing
