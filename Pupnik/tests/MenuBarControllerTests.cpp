#include "Pupnik/LanguageChange.hpp"
#include "Pupnik/MenuBarController.hpp"
#include "app-core/ClipSelector.hpp"
#include "platform/FixedOffsetTimeZone.hpp"

#include <gtest/gtest.h>
#include <limits>

using namespace Pupnik;
using PupnikCore::Clip;
using PupnikCore::Language;
using PupnikCore::Localizer;
using PupnikCore::LoginItemStatus;
using PupnikCore::MenuModel;

namespace {

// Records every call the menu makes, and hands out the model it is given.
class RecordingActions final : public MenuBarActions {
public:
    MenuModel model;
    std::vector<std::string> calls;
    int modelsMade { 0 };

    MenuModel makeMenuModel() override
    {
        ++modelsMade;
        return model;
    }
    void toggleVisible() override { calls.push_back("toggleVisible"); }
    void togglePinned() override { calls.push_back("togglePinned"); }
    void toggleTop() override { calls.push_back("toggleTop"); }
    void toggleDiscreet() override { calls.push_back("toggleDiscreet"); }
    void toggleSounds() override { calls.push_back("toggleSounds"); }
    void previewSound() override { calls.push_back("previewSound"); }
    void setHeight(double points) override { calls.push_back("setHeight " + std::to_string(int(points))); }
    void setSkin(PupnikCore::Skin skin) override { calls.push_back("setSkin " + std::string(PupnikCore::rawValue(skin))); }
    void setLanguage(std::optional<Language> language) override
    {
        calls.push_back("setLanguage " + (language ? std::string(language->rawValue()) : std::string("system")));
    }
    void demo(std::optional<Clip> clip) override { calls.push_back("demo " + (clip ? std::string(PupnikCore::rawValue(*clip)) : std::string("stop"))); }
    void toggleLogin() override { calls.push_back("toggleLogin"); }
    void connect() override { calls.push_back("connect"); }
    void disconnect() override { calls.push_back("disconnect"); }
    void updateHooks() override { calls.push_back("updateHooks"); }
    void toggleCodex() override { calls.push_back("toggleCodex"); }
    void toggleProcess() override { calls.push_back("toggleProcess"); }
    void toggleSync() override { calls.push_back("toggleSync"); }
    void feedback() override { calls.push_back("feedback"); }
    void about() override { calls.push_back("about"); }
    void quit() override { calls.push_back("quit"); }
};

Localizer::Tables tables()
{
    Localizer::Tables tables;
    tables[Language::en] = { { "menu.size", "Size" }, { "menu.language", "Language" }, { "size.small", "Small" }, { "menu.quit", "Quit" },
        { "app.name", "Pupnik" } };
    tables[Language::de] = { { "menu.size", "Größe" }, { "menu.language", "Sprache" }, { "size.small", "Klein" }, { "menu.quit", "Beenden" } };
    return tables;
}

// A controller over fixed texts (keys stand for the missing ones) and a fixed clock and zone.
struct MenuFixture {
    Localizer localizer { Language::en, tables() };
    Platform::ManualClock clock { 1'800'000'000 };
    Platform::FixedOffsetTimeZone zone { 0 };
    std::shared_ptr<RecordingActions> actions = std::make_shared<RecordingActions>();
    LoginItemStatus login { LoginItemStatus::notRegistered };
    int iconsDrawn { 0 };
    std::unique_ptr<MenuBarController> controller;

    explicit MenuFixture(std::optional<bool> tray = false)
    {
        MenuBarController::Services services;
        services.localizer = &localizer;
        services.loginStatus = [this] { return login; };
        services.trayAvailable = tray;
        auto draw = [this](std::optional<QImage> const&, bool badge, int scale) {
            ++iconsDrawn;
            QImage image(20 * scale, 18 * scale, QImage::Format_ARGB32_Premultiplied);
            image.fill(badge ? Qt::black : Qt::transparent);
            return image;
        };
        controller = std::make_unique<MenuBarController>(QImage(40, 30, QImage::Format_ARGB32_Premultiplied), draw, clock, zone, services);
        controller->setActions(actions);
    }

    MenuBarController::Rows const& rows() const { return controller->rows(); }
    QMenu* submenu(QAction* row) const { return row->menu(); }
    void show(MenuModel const& model) { controller->update(model); }

    // Titles of a menu's rows as shown: separators as "-", hidden rows left out.
    static std::vector<std::string> visibleTitles(QMenu* menu)
    {
        std::vector<std::string> titles;
        for (QAction* row : menu->actions())
            if (row->isVisible())
                titles.push_back(row->isSeparator() ? "-" : row->text().toStdString());
        return titles;
    }
    static std::vector<std::string> checkedTitles(QMenu* menu)
    {
        std::vector<std::string> titles;
        for (QAction* row : menu->actions())
            if (row->isChecked())
                titles.push_back(row->text().toStdString());
        return titles;
    }
};

MenuModel quietModel()
{
    MenuModel model;
    model.settings.discreet = false;
    return model;
}

PawletKit::QuotaInfo fiveHour(double used)
{
    PawletKit::QuotaInfo quota;
    quota.fiveHourUsed = used;
    return quota;
}

}

TEST(MenuBarController, BuildsTheMenuInOrderAndBuildingAgainDuplicatesNothing)
{
    MenuFixture f;
    std::vector<std::string> const expected { "", "", "-", "menu.show", "menu.pin", "menu.alwaysOnTop", "menu.discreet", "menu.sounds", "Size",
        "Language (English)", "menu.skin", "menu.demo", "-", "menu.launchAtLogin", "menu.sources", "menu.sync", "-", "menu.feedback", "menu.about",
        "Quit" };
    auto titles = [&] {
        std::vector<std::string> all;
        for (QAction* row : f.controller->menu()->actions())
            if (!qobject_cast<QWidgetAction*>(row))
                all.push_back(row->isSeparator() ? "-" : row->text().toStdString());
        return all;
    };
    EXPECT_EQ(titles(), expected);
    EXPECT_EQ(f.controller->menu()->actions().size(), expected.size() + 3);
    f.controller->rebuildMenu();
    f.controller->rebuildMenu();
    EXPECT_EQ(titles(), expected);
    EXPECT_EQ(f.controller->menu()->actions().size(), expected.size() + 3);
    EXPECT_EQ(MenuFixture::visibleTitles(f.submenu(f.rows().sources)).size(), 6u);
    EXPECT_EQ(MenuFixture::visibleTitles(f.submenu(f.rows().size)),
        (std::vector<std::string> { "Small  72 pt", "size.medium  96 pt", "size.large  128 pt" }));
    EXPECT_EQ(f.controller->menu()->actions().back()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Every persistent row sits in exactly one menu after the builds.
    for (QAction* row : f.controller->persistentItems())
        EXPECT_EQ(row->associatedObjects().size(), 1) << row->text().toStdString();
}

TEST(MenuBarController, CheckmarksFollowTheSettings)
{
    struct Case {
        char const* name;
        double height;
        PupnikCore::Skin skin;
        std::vector<std::string> sizes;
        std::vector<std::string> skins;
    };
    Case const cases[] = {
        { "medium", 96, PupnikCore::Skin::soft, { "size.medium  96 pt" }, { "skin.soft" } },
        { "no preset", 100, PupnikCore::Skin::geo, {}, { "skin.geo" } },
        { "small", 72, PupnikCore::Skin::pixel, { "Small  72 pt" }, { "skin.pixel" } },
    };
    MenuFixture f;
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        MenuModel model = quietModel();
        model.settings.height = c.height;
        model.settings.skin = c.skin;
        model.settings.pinned = true;
        model.settings.alwaysOnTop = false;
        model.settings.sounds = true;
        f.show(model);
        EXPECT_EQ(MenuFixture::checkedTitles(f.submenu(f.rows().size)), c.sizes);
        EXPECT_EQ(MenuFixture::checkedTitles(f.submenu(f.rows().skin)), c.skins);
        EXPECT_TRUE(f.rows().show->isChecked());
        EXPECT_TRUE(f.rows().pin->isChecked());
        EXPECT_FALSE(f.rows().top->isChecked());
        EXPECT_FALSE(f.rows().discreet->isChecked());
        EXPECT_TRUE(f.rows().soundsToggle->isChecked());
    }
}

TEST(MenuBarController, LanguageRowsCheckTheChoiceAndTheSystemRowWithoutOne)
{
    MenuFixture f;
    f.localizer.setChoice(std::nullopt, {});
    f.show(quietModel());
    auto* languages = f.submenu(f.rows().language);
    EXPECT_EQ(MenuFixture::checkedTitles(languages), std::vector<std::string> { "language.system" });
    EXPECT_TRUE(languages->actions()[1]->isSeparator());
    f.localizer.setChoice(Language::de, {});
    f.show(quietModel());
    EXPECT_EQ(MenuFixture::checkedTitles(languages), std::vector<std::string> { "Deutsch" });
    EXPECT_EQ(f.rows().language->text().toStdString(), "Sprache (Deutsch)");
}

TEST(MenuBarController, DemoRowsCheckThePlayingClipAndShowTheStopRowOnlyThen)
{
    MenuFixture f;
    MenuModel model = quietModel();
    f.show(model);
    auto* demo = f.submenu(f.rows().demo);
    EXPECT_TRUE(MenuFixture::checkedTitles(demo).empty());
    EXPECT_EQ(MenuFixture::visibleTitles(demo).size(), 8u);
    model.demoClip = Clip::sick;
    model.state = PupnikCore::ClipSelector::demoState(Clip::sick);
    f.show(model);
    EXPECT_EQ(MenuFixture::checkedTitles(demo), std::vector<std::string> { "state.sick" });
    EXPECT_EQ(MenuFixture::visibleTitles(demo).back(), "menu.demo.stop");
    EXPECT_EQ(MenuFixture::visibleTitles(demo).size(), 10u);
    EXPECT_EQ(f.rows().statusLine->text().toStdString().rfind("demo.prefix", 0), 0u);
}

TEST(MenuBarController, HookRowsFollowInstalledUpgradeAndCodex)
{
    struct Case {
        char const* name;
        bool installed;
        bool upgrade;
        bool codexAvailable;
        bool codexSetting;
        char const* connectTitle;
        bool connectEnabled;
        bool disconnectShown;
        bool updateShown;
        char const* codexTitle;
        bool codexEnabled;
        bool codexChecked;
    };
    Case const cases[] = {
        { "not installed", false, false, true, true, "menu.connect", true, false, false, "menu.source.codex", true, true },
        { "installed", true, false, true, false, "menu.connected", false, true, false, "menu.source.codex", true, false },
        { "installed, outdated", true, true, false, true, "menu.connected", false, true, true, "menu.source.codex.unavailable", false, false },
        { "upgrade without install", false, true, false, false, "menu.connect", true, false, false, "menu.source.codex.unavailable", false, false },
    };
    MenuFixture f;
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        MenuModel model = quietModel();
        model.installed = c.installed;
        model.needsHookUpgrade = c.upgrade;
        model.codexAvailable = c.codexAvailable;
        model.settings.sourceCodex = c.codexSetting;
        f.show(model);
        EXPECT_EQ(f.rows().connect->text().toStdString(), c.connectTitle);
        EXPECT_EQ(f.rows().connect->isEnabled(), c.connectEnabled);
        EXPECT_EQ(f.rows().connect->isChecked(), c.installed);
        EXPECT_EQ(f.rows().disconnect->isVisible(), c.disconnectShown);
        EXPECT_EQ(f.rows().updateHooks->isVisible(), c.updateShown);
        EXPECT_EQ(f.rows().codex->text().toStdString(), c.codexTitle);
        EXPECT_EQ(f.rows().codex->isEnabled(), c.codexEnabled);
        EXPECT_EQ(f.rows().codex->isChecked(), c.codexChecked);
        EXPECT_TRUE(f.rows().sources->isEnabled());
    }
}

TEST(MenuBarController, InfoRowsAndBarsFollowTheStateAndDiscreetMode)
{
    double const nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        char const* name;
        bool discreet;
        std::map<std::string, PawletKit::QuotaInfo> quota;
        bool quotaLineShown;
        std::vector<std::string> barSources;
    };
    Case const cases[] = {
        { "no quota", false, {}, false, {} },
        { "claude and codex", false, { { "claude", fiveHour(50) }, { "codex", fiveHour(1) } }, true, { "claude", "codex" } },
        { "codex and process", false, { { "process", fiveHour(100) }, { "codex", fiveHour(nan) } }, true, { "codex", "process" } },
        { "discreet", true, { { "claude", fiveHour(50) } }, false, {} },
    };
    MenuFixture f;
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        MenuModel model = quietModel();
        model.settings.discreet = c.discreet;
        model.state.quotaBySource = c.quota;
        if (!c.quota.empty())
            model.state.quota = c.quota.begin()->second;
        f.show(model);
        EXPECT_FALSE(f.rows().statusLine->text().isEmpty());
        EXPECT_FALSE(f.rows().statusLine->isEnabled());
        if (c.discreet) {
            EXPECT_EQ(f.rows().statusLine->text().toStdString(), "Pupnik");
        }
        EXPECT_EQ(f.rows().quotaLine->isVisible(), c.quotaLineShown);
        EXPECT_EQ(f.rows().quotaLine->text().isEmpty(), !c.quotaLineShown);
        for (size_t i = 0; i < 3; ++i) {
            QWidgetAction* row = f.rows().quotaBars[i];
            auto* widget = qobject_cast<QuotaBarWidget*>(row->defaultWidget());
            ASSERT_NE(widget, nullptr);
            bool const shown = i < c.barSources.size();
            EXPECT_EQ(row->isVisible(), shown) << i;
            EXPECT_EQ(widget->bar().isNull(), !shown) << i;
            EXPECT_EQ(row->text().isEmpty(), !shown) << i;
        }
    }
}

TEST(MenuBarController, BarImagesAreSizedAndColouredBySource)
{
    MenuFixture f;
    MenuModel model = quietModel();
    model.state.quotaBySource = { { "claude", fiveHour(50) }, { "codex", fiveHour(0.5) }, { "process", fiveHour(100) } };
    f.show(model);
    auto bar = [&](size_t i) { return qobject_cast<QuotaBarWidget*>(f.rows().quotaBars[i]->defaultWidget())->bar(); };
    auto colourAt = [](QImage const& image, double x) {
        double const ratio = image.devicePixelRatio();
        return image.pixelColor(int(x * ratio), int(4 * ratio));
    };
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(bar(i).deviceIndependentSize(), QSizeF(120, 8));
    // Half of claude's bar is orange; the rest is only the faint track.
    EXPECT_EQ(colourAt(bar(0), 30).rgb(), QColor(255, 149, 0).rgb());
    EXPECT_LT(colourAt(bar(0), 90).alpha(), 80);
    // Half a percent still shows as a green dot at the start of the track.
    EXPECT_EQ(colourAt(bar(1), 4).rgb(), QColor(52, 199, 89).rgb());
    EXPECT_LT(colourAt(bar(1), 20).alpha(), 80);
    EXPECT_EQ(colourAt(bar(2), 116).rgb(), QColor(142, 142, 147).rgb());
}

TEST(MenuBarController, LoginRowFollowsTheLoginStatus)
{
    struct Case {
        LoginItemStatus status;
        char const* title;
        bool enabled;
        bool checked;
        bool mixedMark;
    };
    Case const cases[] = {
        { LoginItemStatus::unavailable, "menu.launchAtLogin", false, false, false },
        { LoginItemStatus::notRegistered, "menu.launchAtLogin", true, false, false },
        { LoginItemStatus::enabled, "menu.launchAtLogin", true, true, false },
        { LoginItemStatus::requiresApproval, "menu.launchAtLogin.approval", true, false, true },
        { LoginItemStatus::notRegistered, "menu.launchAtLogin", true, false, false },
    };
    MenuFixture f;
    for (auto const& c : cases) {
        SCOPED_TRACE(c.title);
        f.login = c.status;
        f.show(quietModel());
        EXPECT_EQ(f.rows().login->text().toStdString(), c.title);
        EXPECT_EQ(f.rows().login->isEnabled(), c.enabled);
        EXPECT_EQ(f.rows().login->isChecked(), c.checked);
        EXPECT_EQ(!f.rows().login->icon().isNull(), c.mixedMark);
    }
}

TEST(MenuBarController, EveryRowCallsItsActionWithTheRowsValue)
{
    MenuFixture f;
    MenuModel model = quietModel();
    model.installed = true;
    model.needsHookUpgrade = true;
    model.codexAvailable = true;
    f.show(model);
    auto const& rows = f.rows();
    auto in = [&](QAction* parent, int index) { return f.submenu(parent)->actions()[index]; };
    auto last = [&](QMenu* menu, int fromEnd) { return menu->actions()[menu->actions().size() - 1 - fromEnd]; };
    struct Case {
        QAction* row;
        char const* call;
    };
    Case const cases[] = {
        { rows.show, "toggleVisible" },
        { rows.pin, "togglePinned" },
        { rows.top, "toggleTop" },
        { rows.discreet, "toggleDiscreet" },
        { rows.soundsToggle, "toggleSounds" },
        { in(rows.sounds, 2), "previewSound" },
        { in(rows.size, 2), "setHeight 128" },
        { in(rows.skin, 3), "setSkin geo" },
        { in(rows.language, 0), "setLanguage system" },
        { in(rows.demo, 1), "demo walk" },
        { last(f.submenu(rows.demo), 0), "demo stop" },
        { rows.login, "toggleLogin" },
        { rows.disconnect, "disconnect" },
        { rows.updateHooks, "updateHooks" },
        { rows.codex, "toggleCodex" },
        { rows.process, "toggleProcess" },
        { rows.syncToggle, "toggleSync" },
        { last(f.controller->menu(), 2), "feedback" },
        { last(f.controller->menu(), 1), "about" },
        { last(f.controller->menu(), 0), "quit" },
    };
    for (auto const& c : cases) {
        f.actions->calls.clear();
        c.row->trigger();
        EXPECT_EQ(f.actions->calls, std::vector<std::string> { c.call });
    }
    // Connecting is offered, and answered, only while nothing is installed.
    f.actions->calls.clear();
    rows.connect->trigger();
    EXPECT_TRUE(f.actions->calls.empty());
    model.installed = false;
    f.show(model);
    rows.connect->trigger();
    EXPECT_EQ(f.actions->calls, std::vector<std::string> { "connect" });
    // Each language row names its language.
    for (QAction* row : f.submenu(rows.language)->actions()) {
        if (row->isSeparator() || !row->data().isValid())
            continue;
        f.actions->calls.clear();
        row->trigger();
        EXPECT_EQ(f.actions->calls, std::vector<std::string> { "setLanguage " + row->data().toString().toStdString() });
    }
}

TEST(MenuBarController, RowsWithAForeignValueFallBackSafely)
{
    MenuFixture f;
    auto first = [&](QAction* parent) { return f.submenu(parent)->actions()[0]; };
    struct Case {
        QAction* row;
        QVariant value;
        std::vector<std::string> calls;
    };
    Case const cases[] = {
        { first(f.rows().size), QVariant(QStringLiteral("96")), {} },
        { first(f.rows().skin), QVariant(QStringLiteral("Soft")), {} },
        { first(f.rows().skin), QVariant(3.0), {} },
        { first(f.rows().demo), QVariant(QStringLiteral("dance")), { "demo stop" } },
        { first(f.rows().language), QVariant(QStringLiteral("xx")), { "setLanguage system" } },
        { first(f.rows().language), QVariant(42.0), { "setLanguage system" } },
    };
    for (auto const& c : cases) {
        f.actions->calls.clear();
        c.row->setData(c.value);
        c.row->trigger();
        EXPECT_EQ(f.actions->calls, c.calls) << c.value.toString().toStdString();
    }
}

TEST(MenuBarController, OnlyTheMainMenuAsksForAModelAndAGoneDelegateIsLeftAlone)
{
    MenuFixture f;
    f.actions->model = quietModel();
    f.actions->model.installed = true;
    emit f.submenu(f.rows().sources)->aboutToShow();
    EXPECT_EQ(f.actions->modelsMade, 0);
    emit f.controller->menu()->aboutToShow();
    EXPECT_EQ(f.actions->modelsMade, 1);
    EXPECT_EQ(f.rows().connect->text().toStdString(), "menu.connected");

    f.actions.reset();
    emit f.controller->menu()->aboutToShow();
    f.rows().show->trigger();
    f.controller->menu()->actions().back()->trigger();
    EXPECT_EQ(f.rows().connect->text().toStdString(), "menu.connected");
}

TEST(MenuBarController, TheIconIsRedrawnOnlyWhenTheBadgeChanges)
{
    MenuFixture f(true);
    ASSERT_NE(f.controller->statusItem(), nullptr);
    EXPECT_EQ(f.controller->badgeShown(), false);
    int const first = f.iconsDrawn;
    EXPECT_GT(first, 0);
    EXPECT_FALSE(f.controller->statusItem()->icon().isNull());
    f.controller->setBadge(false);
    EXPECT_EQ(f.iconsDrawn, first);
    f.controller->setBadge(true);
    int const second = f.iconsDrawn;
    EXPECT_GT(second, first);
    f.controller->setBadge(true);
    EXPECT_EQ(f.iconsDrawn, second);
    EXPECT_EQ(f.controller->statusItem()->toolTip().toStdString(), "Pupnik");
}

TEST(MenuBarController, TheIconIsPutUpEvenBeforeTheDesktopHasATray)
{
    // The test platform has no tray; one that starts later takes the shown icon.
    MenuFixture f(std::nullopt);
    ASSERT_NE(f.controller->statusItem(), nullptr);
    EXPECT_TRUE(f.controller->statusItem()->isVisible());
    EXPECT_FALSE(f.controller->statusItem()->icon().isNull());
    EXPECT_EQ(f.controller->statusItem()->contextMenu(), f.controller->menu());
}

TEST(MenuBarController, WithoutATrayTheMenuStillWorksAndTheBadgeIsRemembered)
{
    MenuFixture f(false);
    EXPECT_EQ(f.controller->statusItem(), nullptr);
    EXPECT_EQ(f.iconsDrawn, 0);
    f.controller->setBadge(true);
    EXPECT_EQ(f.controller->badgeShown(), true);
    EXPECT_EQ(f.iconsDrawn, 0);
    f.rows().pin->trigger();
    EXPECT_EQ(f.actions->calls, std::vector<std::string> { "togglePinned" });
}

TEST(MenuBarController, ALanguageChangeRebuildsEveryRowInTheNewLanguage)
{
    MenuFixture f;
    std::vector<std::string> steps;
    LanguageChange change;
    change.storeChoice = [&](std::optional<std::string> code) { steps.push_back("store " + code.value_or("none")); };
    change.localizer = &f.localizer;
    change.preferredLanguages = std::vector<std::string> { "en-US" };
    change.menuBar = f.controller.get();
    change.makeMenuModel = [&] {
        steps.push_back("model");
        return quietModel();
    };
    change.refreshPetTooltip = [&] { steps.push_back("tooltip"); };
    change.relocalizeOnboarding = [&] { steps.push_back("onboarding"); };
    change.relocalizeApprovalPopover = [&] { steps.push_back("popover"); };
    change.apply(Language::de);
    EXPECT_EQ(steps, (std::vector<std::string> { "store de", "model", "tooltip", "onboarding", "popover" }));
    EXPECT_EQ(f.localizer.language(), Language::de);
    EXPECT_EQ(f.rows().size->text().toStdString(), "Größe");
    EXPECT_EQ(f.rows().language->text().toStdString(), "Sprache (Deutsch)");
    EXPECT_EQ(f.submenu(f.rows().size)->actions()[0]->text().toStdString(), "Klein  72 pt");
    EXPECT_EQ(f.controller->menu()->actions().back()->text().toStdString(), "Beenden");
    EXPECT_EQ(MenuFixture::checkedTitles(f.submenu(f.rows().language)), std::vector<std::string> { "Deutsch" });

    steps.clear();
    change.apply(std::nullopt);
    EXPECT_EQ(steps.front(), "store none");
    EXPECT_EQ(f.localizer.choice(), std::nullopt);
    EXPECT_EQ(f.rows().size->text().toStdString(), "Size");

    // Following the system means following its preferred languages.
    change.preferredLanguages = std::vector<std::string> { "de-AT" };
    change.apply(std::nullopt);
    EXPECT_EQ(f.rows().size->text().toStdString(), "Größe");
    EXPECT_EQ(MenuFixture::checkedTitles(f.submenu(f.rows().language)), std::vector<std::string> { "language.system" });
}
