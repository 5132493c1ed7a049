// The theme component's placement rule on real Qt objects: a form takes exactly one; no
// owner, an owner that is no form, or a second one on a form beeps once and ends in the
// silent abort, which the error box does not show, leaving the owner's children as they were.

#include <gtest/gtest.h>

#include <QDialog>
#include <QMainWindow>
#include <QWidget>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "common/errors.h"
#include "shell/application.h"
#include "shell/mdCONTROLS.h"
#include "tests/support/scripted_prompts.h"

namespace korvid {
namespace {

using test_support::ScriptedPrompts;

// The error box of the application object shows into scripted prompts for one test.
class ThemeComponentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_ = qobject_cast<TApplication*>(QCoreApplication::instance());
        ASSERT_NE(app_, nullptr);
        app_->SetPrompts(&prompts_);
    }
    void TearDown() override {
        if (app_ != nullptr) {
            app_->SetPrompts(nullptr);
        }
    }

    // Creates a component as a handler would, the error box catching what leaves it.
    // Returns the component, or null after the silent abort.
    TXPThemeAPI* Place(QObject* owner) {
        TXPThemeAPI* made = nullptr;
        RunGuarded([&] {
            try {
                made = new TXPThemeAPI(owner, [this] { ++beeps_; });
            } catch (const SilentAbort&) {
                ++silent_aborts_;
                throw;
            }
        });
        return made;
    }

    TApplication* app_ = nullptr;
    ScriptedPrompts prompts_;
    int beeps_ = 0;
    int silent_aborts_ = 0;
};

// The owner's children as a std::vector: Qt 6.4's QList comparison hands memcmp a null
// pointer for two empty lists, which UndefinedBehaviorSanitizer reports.
std::vector<QObject*> Children(const QObject* owner) {
    if (owner == nullptr) {
        return {};
    }
    return {owner->children().begin(), owner->children().end()};
}

int ComponentsOn(const QObject& owner) {
    return static_cast<int>(owner.findChildren<TXPThemeAPI*>(Qt::FindDirectChildrenOnly).size());
}

struct Owner {
    std::unique_ptr<QObject> keep;  // what keeps the owner alive
    QObject* owner = nullptr;
};

struct PlacementCase {
    const char* name;
    std::function<Owner()> make;
    int already_placed;  // components the owner holds before
    bool placed;
};

// Test listings show the case by its name, not as a memory dump.
void PrintTo(const PlacementCase& placement, std::ostream* out) {
    *out << placement.name;
}

class ThemeComponentPlacementTest : public ThemeComponentTest,
                                    public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(ThemeComponentPlacementTest, FollowsThePlacementRule) {
    const PlacementCase& c = GetParam();
    Owner owner = c.make();
    for (int i = 0; i < c.already_placed; ++i) {
        new TXPThemeAPI(owner.owner, [] { ADD_FAILURE() << "the first one beeped"; });
    }
    const std::vector<QObject*> before = Children(owner.owner);

    TXPThemeAPI* made = Place(owner.owner);

    EXPECT_EQ(made != nullptr, c.placed);
    EXPECT_EQ(beeps_, c.placed ? 0 : 1);
    EXPECT_EQ(silent_aborts_, c.placed ? 0 : 1);
    EXPECT_TRUE(prompts_.errors.empty());
    if (owner.owner != nullptr) {
        std::vector<QObject*> expected = before;
        if (made != nullptr) {
            expected.push_back(made);
        }
        EXPECT_EQ(Children(owner.owner), expected);
        EXPECT_EQ(ComponentsOn(*owner.owner), c.already_placed + (c.placed ? 1 : 0));
    }
}

Owner Form() {
    auto form = std::make_unique<QMainWindow>();
    QObject* owner = form.get();
    return {std::move(form), owner};
}

INSTANTIATE_TEST_SUITE_P(
    Owners, ThemeComponentPlacementTest,
    ::testing::Values(PlacementCase{"FirstOnMainWindow", Form, 0, true},
                      PlacementCase{"SecondOnMainWindow", Form, 1, false},
                      PlacementCase{"FirstOnParentlessWidget",
                                    [] {
                                        auto form = std::make_unique<QWidget>();
                                        QObject* owner = form.get();
                                        return Owner{std::move(form), owner};
                                    },
                                    0, true},
                      // A dialog is a form of its own even with the main window as its parent.
                      PlacementCase{"FirstOnDialogOfMainWindow",
                                    [] {
                                        Owner form = Form();
                                        form.owner = new QDialog(static_cast<QWidget*>(form.owner));
                                        return form;
                                    },
                                    0, true},
                      PlacementCase{"NoOwner", [] { return Owner{}; }, 0, false},
                      PlacementCase{"PlainObject",
                                    [] {
                                        auto object = std::make_unique<QObject>();
                                        QObject* owner = object.get();
                                        return Owner{std::move(object), owner};
                                    },
                                    0, false},
                      PlacementCase{"WidgetInsideForm",
                                    [] {
                                        Owner form = Form();
                                        form.owner = new QWidget(static_cast<QWidget*>(form.owner));
                                        return form;
                                    },
                                    0, false}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) {
        return std::string(info.param.name);
    });

// A form whose construction places two components, as a layout holding two would.
class TwoComponentForm : public QWidget {
  public:
    explicit TwoComponentForm(const Beeper& beep) {
        new TXPThemeAPI(this, beep);
        new TXPThemeAPI(this, beep);
    }
};

TEST_F(ThemeComponentTest, FormHoldingTwoFailsToBuildWithOneBeep) {
    EXPECT_THROW(TwoComponentForm([this] { ++beeps_; }), SilentAbort);
    EXPECT_EQ(beeps_, 1);
}

// The same path shows any other error, so the empty error list above means something.
TEST_F(ThemeComponentTest, ErrorBoxShowsOtherErrors) {
    RunGuarded([] { throw std::runtime_error("other"); });
    EXPECT_EQ(prompts_.errors, std::vector<std::string>{"other"});
}

}  // namespace
}  // namespace korvid
