// The offer in front of a lookup's failures, on its own: what each cause is told with.

#include "shell/film_data_offer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "client/http.h"
#include "tests/support/scripted_prompts.h"

namespace korvid {
namespace {

using test_support::ScriptedPrompts;

// No network: the message says how to work offline unless the film data answers already.
// (The other causes are checked through the window in film_data_window_test.cpp.)
TEST(FilmDataOfferTest, NoConnectionPointsOfflineWhileNoFilmDataAnswers) {
    for (const bool data_answers : {false, true}) {
        SCOPED_TRACE(data_answers);
        ScriptedPrompts prompts;
        FilmDataOffer offer(
            prompts, [&] { return !data_answers; }, [] { return std::string(); }, [] {});
        offer.ShowFailure("Cannot Download Page From Website !", NoConnectionCause);
        EXPECT_TRUE(prompts.questions.empty());
        EXPECT_THAT(prompts.messages,
                    ::testing::ElementsAre("Cannot Download Page From Website !\n" +
                                           std::string(NoConnectionCause) +
                                           (data_answers ? "" : std::string("; ") + OfflinePointer)));
    }
}

}  // namespace
}  // namespace korvid
