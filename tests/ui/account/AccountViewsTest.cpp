// The sign-in and account pages rendered offscreen in their states, the profile picture's way from
// a picked file to the upload, and a whole sign-in -> account page -> upload run against the
// stand-in backend.

#include "ui/UiTest.h"
#include "ui/models/AccountModels.h"
#include "ui/models/AppStateModel.h"
#include "ui/runtime/QtEventLoop.h"
#include "ui/shell/ShellController.h"

#include "../../linux/account/SimulatedBrowser.h"
#include "../../linux/account/StandInBackend.h"

#include "core/account/MemorySessionStorage.h"
#include "core/account/SupabaseManager.h"
#include "fakes/FakeHttpClient.h"
#include "fakes/SessionHarness.h"
#include "linux/account/AccountServices.h"
#include "linux/http/CurlHttpClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <iostream>

using namespace parlune;
using namespace parlune::testing;
using namespace std::chrono_literals;
using nlohmann::json;

namespace {

class NoBrowser final : public BrowserOpener {
public:
    Task<std::optional<std::string>> open(std::string) override { co_return std::nullopt; }
};

std::int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

json userJson() {
    return json{{"id", "0f8d5a3e-6c1b-4b7e-9a2d-1c3e5f7a9b0d"},
                {"email", "ada@example.com"},
                {"user_metadata", {{"given_name", "Ada"}, {"family_name", "Lovelace"}}}};
}

// A portrait photo: red above, blue below, 300 x 600.
std::string portraitFile(const TemporaryFolder& folder) {
    QImage image(300, 600, QImage::Format_RGB32);
    image.fill(QColor(220, 30, 30));
    for (int y = 300; y < 600; ++y) {
        for (int x = 0; x < 300; ++x) image.setPixelColor(x, y, QColor(30, 60, 220));
    }
    const auto path = folder.path() + "/portrait.png";
    image.save(QString::fromStdString(path));
    return path;
}

QImage decoded(const std::string& bytes) {
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "JPEG");
    return image;
}

std::unique_ptr<QQuickWindow> viewWindow(const QString& view, QObject* model, QObject* shell = nullptr) {
    QQmlComponent component(&uiEngine());
    component.setData((QStringLiteral("import QtQuick\nimport Parlune\nWindow { width: 290; height: 360; visible: true; color: \"white\"\n"
                                      "property var root\nproperty var theShell\n") +
                       view + QStringLiteral(" { objectName: \"view\"; anchors.fill: parent; appState: root } }"))
                          .toUtf8(),
                      QUrl());
    auto* window = qobject_cast<QQuickWindow*>(component.createWithInitialProperties(
        {{"root", QVariant::fromValue(model)}, {"theShell", QVariant::fromValue(shell)}}));
    if (window == nullptr) qWarning() << component.errorString();
    return std::unique_ptr<QQuickWindow>(window);
}

AccountPageModel* accountPage(QQuickWindow* window) {
    auto* view = findItem(window, "view");
    return view ? qobject_cast<AccountPageModel*>(view->property("page").value<QObject*>()) : nullptr;
}

// AppState on the Qt loop over fakes, with both backend clients over one fake HTTP client and one
// in-memory session.
struct PagesFixture {
    PagesFixture() {
        uiApplication();
        services.loop = &loop;
        services.http = http;
        services.storage = storage;
        services.browser = std::make_shared<NoBrowser>();
        services.crypto = std::make_shared<OpenSslPkceCrypto>();
        services.unixTime = unixNow;
        auto bundle = harness.bundle();
        bundle.loop = &loop;
        bundle.applicationSupportFolder = folder.path();
        bundle.supabaseClient = client();
        app = AppState::create(bundle);
        model = std::make_unique<AppStateModel>(app);
        installation = SupabaseManager::shared().install([this] { return client(); });
    }
    std::shared_ptr<SupabaseClient> client() {
        return std::make_shared<SupabaseClient>("https://project.backend.example", "pk", services);
    }
    void signIn() {
        storage->write(SupabaseClient::sessionKey,
                       json{{"access_token", "a"}, {"token_type", "bearer"}, {"expires_in", 3600}, {"expires_at", unixNow() + 3600},
                            {"refresh_token", "r"}, {"user", userJson()}}
                           .dump());
    }
    // Answers the user request; uploads after `uploadDelay`, or never when none.
    void answer(std::optional<Duration> uploadDelay = Duration::zero()) {
        http->respond = [uploadDelay](const HttpRequest& request) -> std::optional<fakes::FakeHttpClient::Reply> {
            if (request.url.ends_with("/auth/v1/user")) return fakes::FakeHttpClient::Reply{HttpResult::response(200, userJson().dump()), {}};
            if (!uploadDelay) return std::nullopt;
            return fakes::FakeHttpClient::Reply{HttpResult::response(200, R"({"Key":"k","Id":"i"})"), *uploadDelay};
        };
    }

    QtEventLoop loop;
    TemporaryFolder folder;
    fakes::SessionHarness harness;
    std::shared_ptr<fakes::FakeHttpClient> http = std::make_shared<fakes::FakeHttpClient>();
    std::shared_ptr<MemorySessionStorage> storage = std::make_shared<MemorySessionStorage>();
    BackendServices services;
    std::shared_ptr<AppState> app;
    std::unique_ptr<AppStateModel> model;
    SupabaseManager::Installation installation;
};

}  // namespace

TEST(AccountViews, SignedOutTheAccountPageShowsNoNameAndThePersonSymbol) {
    PagesFixture f;
    auto window = viewWindow("AccountView", f.model.get());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return visibleItem(window.get(), "userName") != nullptr; }));
    EXPECT_EQ(visibleItem(window.get(), "userName")->property("text").toString(), "No name");
    EXPECT_EQ(visibleItem(window.get(), "userEmail"), nullptr);
    EXPECT_NE(visibleItem(window.get(), "avatarPerson"), nullptr);
    EXPECT_THAT(f.harness.log.lines(), ::testing::ElementsAre("Failed to load user data: Auth session missing!"));
    saveScreenshot(grab(window.get()), "account-signed-out");
}

TEST(AccountViews, LoadingThenSignedInWithInitialsThenWithAPicture) {
    PagesFixture f;
    f.signIn();
    auto window = viewWindow("AccountView", f.model.get());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return f.http->exchanges.size() == 1; }));
    EXPECT_NE(visibleItem(window.get(), "nameLoading"), nullptr);
    EXPECT_EQ(visibleItem(window.get(), "userName"), nullptr);
    saveScreenshot(grab(window.get()), "account-loading");

    // The user request is answered: initials in the placeholder.
    f.http->exchanges.clear();
    f.answer();
    auto second = viewWindow("AccountView", f.model.get());
    ASSERT_TRUE(waitUntil([&] { return visibleItem(second.get(), "userName") != nullptr; }));
    EXPECT_EQ(visibleItem(second.get(), "userName")->property("text").toString(), "Ada Lovelace");
    EXPECT_EQ(visibleItem(second.get(), "userEmail")->property("text").toString(), "ada@example.com");
    EXPECT_EQ(visibleItem(second.get(), "avatarInitials")->property("text").toString(), "AL");
    saveScreenshot(grab(second.get()), "account-signed-in-initials");

    // A picked portrait: shown at once, in the circle.
    auto* page = accountPage(second.get());
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->useProfileImageFile(QString::fromStdString(portraitFile(f.folder))));
    ASSERT_TRUE(waitUntil([&] { return visibleItem(second.get(), "avatarPicture") != nullptr && !page->isUploading(); }));
    auto* picture = visibleItem(second.get(), "avatarPicture");
    ASSERT_TRUE(waitUntil([&] { return picture->property("status").toInt() == 1; }));  // Image.Ready
    const QImage image = grab(second.get());
    saveScreenshot(image, "account-signed-in-picture");
    const QRectF avatar = sceneRect(picture);
    EXPECT_TRUE(near(colorAt(image, avatar.center() - QPointF(0, 20)), QColor(220, 30, 30), 40));  // red above
    EXPECT_TRUE(near(colorAt(image, avatar.center() + QPointF(0, 20)), QColor(30, 60, 220), 40));  // blue below
    EXPECT_TRUE(near(colorAt(image, avatar.topLeft() + QPointF(3, 3)), Qt::white, 10));        // outside the circle
}

TEST(AccountViews, WhileUploadingTheAvatarShowsTheSpinner) {
    PagesFixture f;
    f.signIn();
    f.answer(std::nullopt);  // the upload is never answered
    auto window = viewWindow("AccountView", f.model.get());
    ASSERT_TRUE(waitUntil([&] { return visibleItem(window.get(), "userName") != nullptr; }));
    auto* page = accountPage(window.get());
    ASSERT_TRUE(page->useProfileImageFile(QString::fromStdString(portraitFile(f.folder))));
    ASSERT_TRUE(waitUntil([&] { return f.http->exchanges.size() == 2; }));
    EXPECT_NE(visibleItem(window.get(), "avatarUploading"), nullptr);
    EXPECT_EQ(visibleItem(window.get(), "avatarHover"), nullptr);
    saveScreenshot(grab(window.get()), "account-uploading");
}

TEST(AccountViews, APortraitIsStoredAndUploadedAsAStretched256Square) {
    PagesFixture f;
    f.signIn();
    f.answer();
    AccountPageModel page(f.app, nullptr);
    page.chooseFile = [&]() -> std::optional<QString> { return QString::fromStdString(portraitFile(f.folder)); };
    page.pickProfileImage();
    ASSERT_TRUE(waitUntil([&] { return !page.isUploading() && !f.http->exchanges.empty(); }));
    const auto& upload = f.http->exchanges.back().request;
    EXPECT_EQ(upload.url, "https://project.backend.example/storage/v1/object/avatars/0F8D5A3E-6C1B-4B7E-9A2D-1C3E5F7A9B0D/avatar.jpg");
    const QImage sent = decoded(upload.body);
    ASSERT_EQ(sent.size(), QSize(256, 256));
    EXPECT_TRUE(near(sent.pixelColor(128, 60), QColor(220, 30, 30), 30));   // the top half stays the top half:
    EXPECT_TRUE(near(sent.pixelColor(128, 196), QColor(30, 60, 220), 30));  // stretched, not cropped
    const QImage stored(QString::fromStdString(f.folder.path() + "/parlune-macos/profile_image.jpg"));
    EXPECT_EQ(stored.size(), QSize(256, 256));
    EXPECT_EQ(f.app->profileImage()->value(), Bytes(upload.body.begin(), upload.body.end()));
    EXPECT_THAT(f.harness.log.lines(), ::testing::ElementsAre("✅ Profile image uploaded to Supabase Storage"));
}

TEST(AccountViews, APickWhileSignedOutChangesThePictureAndTheUploadFails) {
    PagesFixture f;
    AccountPageModel page(f.app, nullptr);
    page.chooseFile = [&]() -> std::optional<QString> { return QString::fromStdString(portraitFile(f.folder)); };
    page.pickProfileImage();
    ASSERT_TRUE(waitUntil([&] { return !page.isUploading() && !f.harness.log.lines().empty(); }));
    EXPECT_TRUE(page.hasProfileImage());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(f.folder.path() + "/parlune-macos/profile_image.jpg")));
    EXPECT_TRUE(f.http->exchanges.empty());
    EXPECT_THAT(f.harness.log.lines(), ::testing::ElementsAre("⚠️ Failed to upload profile image: Auth session missing!"));
    // A cancelled dialog changes nothing.
    page.chooseFile = [] { return std::optional<QString>(); };
    page.pickProfileImage();
    EXPECT_FALSE(page.isUploading());
}

TEST(AccountViews, TheSignUpPageWaitsWhileTheBrowserIsOpen) {
    PagesFixture f;
    auto window = viewWindow("SignUpView", f.model.get());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitUntil([&] { return visibleItem(window.get(), "signUpContinue") != nullptr; }));
    EXPECT_EQ(visibleItem(window.get(), "signUpPromise")->property("text").toString(), "AI transcription that writes\nlike you write.");
    saveScreenshot(grab(window.get()), "sign-up-idle");
    QMetaObject::invokeMethod(findItem(window.get(), "view")->property("page").value<QObject*>(), "signInWithApple");
    ASSERT_TRUE(waitUntil([&] { return visibleItem(window.get(), "continueTitle")->property("text").toString() == "Loading..."; }));
    saveScreenshot(grab(window.get()), "sign-up-waiting");
}

// Sign-in through the browser, the account page, a picture upload: the real HTTP client, the session
// file and the stand-in backend. Prints what the stand-in received, for the record.
TEST(AccountFlow, SignInThenAccountPageThenPictureUploadAgainstTheStandIn) {
    uiApplication();
    StandInBackend backend;
    TemporaryFolder folder;
    QtEventLoop loop;
    fakes::SessionHarness harness;
    auto browser = std::make_shared<SimulatedBrowser>();
    BackendServices services;
    services.loop = &loop;
    services.http = std::make_shared<CurlHttpClient>(loop);
    services.storage = std::make_shared<FileSessionStorage>(std::filesystem::path(folder.path()) / "parlune");
    services.browser = browser;
    services.crypto = std::make_shared<OpenSslPkceCrypto>();
    services.unixTime = unixNow;
    const auto makeClient = [&] { return std::make_shared<SupabaseClient>(backend.baseURL(), backend.publishableKey, services); };
    auto bundle = harness.bundle();
    bundle.loop = &loop;
    bundle.applicationSupportFolder = folder.path();
    bundle.supabaseClient = makeClient();
    auto app = AppState::create(bundle);
    AppStateModel model(app);
    auto installation = SupabaseManager::shared().install(makeClient);
    ShellController shell;
    // The desktop hands the callback address to the running instance as a launch argument.
    browser->deliver = [&](const std::string& url) { loop.post([&shell, url] { shell.handleLaunchArguments({QString::fromStdString(url)}); }); };

    QQmlComponent component(&uiEngine());
    component.setData("import QtQuick\nimport Parlune\nWindow { width: 290; height: 360; visible: true; color: \"white\"\n"
                      "property var root\nproperty var theShell\n"
                      "OnboardingView { objectName: \"view\"; anchors.fill: parent; appState: root; shell: theShell } }",
                      QUrl());
    std::unique_ptr<QQuickWindow> onboarding(qobject_cast<QQuickWindow*>(component.createWithInitialProperties(
        {{"root", QVariant::fromValue<QObject*>(&model)}, {"theShell", QVariant::fromValue<QObject*>(&shell)}})));
    ASSERT_NE(onboarding, nullptr) << component.errorString().toStdString();
    ASSERT_TRUE(waitUntil([&] { return visibleItem(onboarding.get(), "signUpContinue") != nullptr; }));
    auto* continueButton = visibleItem(onboarding.get(), "signUpContinue");
    QMetaObject::invokeMethod(continueButton, "action");
    ASSERT_TRUE(waitUntil([&] { return app->onboardingStep().get() == 1; }, 20s));
    onboarding.reset();

    auto account = viewWindow("AccountView", &model);
    ASSERT_TRUE(waitUntil([&] { return visibleItem(account.get(), "userEmail") != nullptr; }, 20s));
    EXPECT_EQ(visibleItem(account.get(), "userName")->property("text").toString(), "Ada Lovelace");
    ASSERT_TRUE(accountPage(account.get())->useProfileImageFile(QString::fromStdString(portraitFile(folder))));
    const std::string uploaded = "✅ Profile image uploaded to Supabase Storage";
    ASSERT_TRUE(waitUntil([&] { auto l = harness.log.lines(); return std::find(l.begin(), l.end(), uploaded) != l.end(); }, 20s));
    auto* picture = visibleItem(account.get(), "avatarPicture");
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(waitUntil([&] { return picture->property("status").toInt() == 1; }));
    const auto screenshot = saveScreenshot(grab(account.get()), "account-flow-signed-in-picture");

    const auto sessionFile = std::filesystem::path(folder.path()) / "parlune" / "auth-session.json";
    struct stat status {};
    ASSERT_EQ(::stat(sessionFile.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    const auto objects = backend.objects();
    const auto& object = objects.at("0F8D5A3E-6C1B-4B7E-9A2D-1C3E5F7A9B0D/avatar.jpg");
    EXPECT_EQ(decoded(object.bytes).size(), QSize(256, 256));

    std::cout << "log lines:\n";
    for (const auto& line : harness.log.lines()) std::cout << "  " << line << '\n';
    std::cout << "requests the stand-in received:\n";
    for (const auto& request : backend.received()) {
        std::cout << "  " << request.method << ' ' << request.target.substr(0, request.target.find("code_challenge=")) << '\n';
        if (!request.target.starts_with("/storage/")) continue;
        for (const auto& [name, value] : request.headers) {
            const bool secret = name == "Authorization" || name == "apikey";
            std::cout << "    " << name << ": " << (secret ? value.substr(0, value.find(' ') + 1) + "<" + std::to_string(value.size()) + " chars>" : value) << '\n';
        }
        std::cout << "    body: " << request.body.size() << " bytes, a " << decoded(request.body).width() << " x "
                  << decoded(request.body).height() << " JPEG\n";
    }
    std::cout << "session file: " << sessionFile.string() << " mode " << std::oct << (status.st_mode & 07777) << std::dec << '\n';
    std::cout << "screenshot: " << screenshot << std::endl;
}
