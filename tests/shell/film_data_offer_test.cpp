// The offer in front of a lookup's failures, on its own: what each cause is told with.

#include "shell/film_data_offer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "client/http.h"
#include "tests/support/scripted_prompts.h"

namespace korvid {
namespace {

using test_support::ScriptedPrompts;

TEST(FilmDataOfferTest, EachCauseIsToldWithWhatHelpsWhileNoFilmDataAnswers) {
    const struct {
        bool data_answers;
        const char* cause;
        std::string shown;  // the message's second line; empty: the offer was asked
    } cases[] = {
        {false, NoConnectionCause, std::string(NoConnectionCause) + "; " + OfflinePointer},
        {true, NoConnectionCause, NoConnectionCause},
        {false, "the site answered 503", "the site answered 503"},
        {false, BrowserCheckCause, ""},
        {false, BrowserCheckCause, std::string(BrowserCheckCause) + "; " + FilmDataPointer},
    };
    ScriptedPrompts prompts;
    bool data_answers = false;
    int accepted = 0;
    FilmDataOffer offer(
        prompts, [&] { return !data_answers; }, [] { return std::string(); },
        [&] { ++accepted; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        data_answers = c.data_answers;
        prompts.messages.clear();
        prompts.questions.clear();
        prompts.answers = {PromptAnswer::Cancel};
        offer.ShowFailure("Cannot Download Page From Website !", c.cause);
        if (c.shown.empty()) {
            EXPECT_EQ(prompts.questions.size(), 1u);
        } else {
            EXPECT_THAT(prompts.messages,
                        ::testing::ElementsAre("Cannot Download Page From Website !\n" + c.shown));
        }
    }
    EXPECT_EQ(accepted, 0);
}

}  // namespace
}  // namespace korvid
