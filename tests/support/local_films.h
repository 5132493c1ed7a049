#pragma once
// The data-set rows the tests of the local film source build their databases from.

#include "tests/dataset/dataset_files.h"

namespace korvid::test_support {

// Invented titles in the data sets' own forms (UTF-8, "\N" for nothing): films and other
// kinds, two titles of one name, an 8-digit id known by its original title, a title without
// rating, crew or principals, one without a year, and names outside Latin-1.
inline const DatasetRows LocalFilmRows = {
    .basics =
        "tt0078748\tmovie\tAlien\tAlien\t0\t1979\t\\N\t117\tHorror,Sci-Fi\n"
        "tt0090605\tmovie\tAliens\tAliens\t0\t1986\t\\N\t137\tAction,Adventure,Sci-Fi\n"
        "tt9100001\tmovie\tLantern Road\tLantern Road\t0\t1971\t\\N\t90\tDrama\n"
        "tt9100002\ttvSeries\tLantern Road\tLantern Road\t0\t2019\t2021\t45\tCrime\n"
        "tt9100003\tmovie\tLantern Road Home\tLantern Road Home\t0\t2005\t\\N\t101\tDrama\n"
        "tt9100004\tvideo\tRoad Trip Diary\tRoad Trip Diary\t0\t2010\t\\N\t\\N\t\\N\n"
        "tt9100005\tmovie\tJoëlle\tJoëlle\t0\t2004\t\\N\t95\tDrama,Romance\n"
        "tt9100006\tmovie\tQuiet Film\tQuiet Film\t0\t\\N\t\\N\t\\N\t\\N\n"
        "tt10000001\ttvMiniSeries\tThe Long Road\tDer lange Weg\t0\t2022\t\\N\t\\N\tDrama\n",
    .ratings =
        "tt0078748\t8.5\t900000\n"
        "tt0090605\t8.4\t700000\n"
        "tt9100001\t6.1\t1200\n"
        "tt9100002\t7.0\t30000\n"
        "tt9100003\t5.5\t800\n"
        "tt9100005\t7.1\t2500\n"
        "tt10000001\t8.0\t50000\n",
    .crew =
        "tt0078748\tnm0000631\t\\N\n"
        "tt9100001\tnm9100014\t\\N\n"
        "tt9100005\tnm9100010,nm9100011\tnm9100011\n",
    .principals =
        "tt0078748\t1\tnm0000244\tactress\t\\N\t[\"Ripley\"]\n"
        "tt9100001\t1\tnm9100013\tactor\t\\N\t\\N\n"
        "tt9100005\t1\tnm9100010\tdirector\t\\N\t\\N\n"
        "tt9100005\t2\tnm9100012\tactress\t\\N\t[\"Hélène\",\"Łucja\"]\n"
        "tt9100005\t3\tnm9100013\tactor\t\\N\t[\"Paul\"]\n",
    .names =
        "nm0000244\tSigourney Weaver\t1949\t\\N\tactress\ttt0078748\n"
        "nm0000631\tRidley Scott\t1937\t\\N\tdirector\ttt0078748\n"
        "nm9100010\tJiří Novák\t\\N\t\\N\tdirector\t\\N\n"
        "nm9100011\tOther Director\t\\N\t\\N\tdirector\t\\N\n"
        "nm9100012\tMireille Øster\t\\N\t\\N\tactress\t\\N\n"
        "nm9100013\tPaul Lindqvist\t\\N\t\\N\tactor\t\\N\n"
        "nm9100014\tAnke Vos\t\\N\t\\N\tdirector\t\\N\n",
    // Other titles in several scripts; a title's rows come together, types may be several
    // joined by 0x02, and a row that folds to the title's own is dropped by the build.
    .akas =
        "tt0078748\t1\tAlien\tXWW\ten\timdbDisplay\t\\N\t0\n"
        "tt0078748\t2\t\xD0\xA7\xD1\x83\xD0\xB6\xD0\xBE\xD0\xB9\tRU\tru\timdbDisplay\t\\N\t0\n"
        "tt0078748\t3\t\xE3\x82\xA8\xE3\x82\xA4\xE3\x83\xAA\xE3\x82\xA2\xE3\x83\xB3\tJP\tja\t"
        "imdbDisplay\x02video\t\\N\t0\n"
        "tt0078748\t4\t\xE5\xBC\x82\xE5\xBD\xA2\tCN\tzh\timdbDisplay\t\\N\t0\n"
        "tt0078748\t5\t\xEC\x97\x90\xEC\x9D\xB4\xEB\xA6\xAC\xEC\x96\xB8\tKR\t\\N\t\\N\t\\N\t0\n"
        "tt0078748\t6\t\xCE\x9F \xCE\x8C\xCE\xB3\xCE\xB4\xCE\xBF\xCE\xBF\xCF\x82 "
        "\xCE\x95\xCF\x80\xCE\xB9\xCE\xB2\xCE\xAC\xCF\x84\xCE\xB7\xCF\x82\tGR\t\\N\t\\N\t\\N\t0\n"
        "tt0078748\t7\tALIEN\tUS\t\\N\toriginal\t\\N\t1\n"
        "tt9100001\t1\tDie bittere Stra\xC3\x9F" "e\tDE\tde\t\\N\t\\N\t0\n"
        "tt9100003\t1\t\xD0\x94\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB3\xD0\xB0 \xD1\x81 "
        "\xD1\x84\xD0\xBE\xD0\xBD\xD0\xB0\xD1\x80\xD1\x91\xD0\xBC\tRU\tru\t\\N\t\\N\t0\n"
        "tt9100005\t1\t\xE5\x8D\x83\xE3\x81\xA8\xE5\x8D\x83\xE5\xB0\x8B\xE3\x81\xAE"
        "\xE7\xA5\x9E\xE9\x9A\xA0\xE3\x81\x97\tJP\tja\timdbDisplay\t\\N\t0\n"
        "tt9999999\t1\tNobody's Film\tUS\t\\N\t\\N\t\\N\t0\n",
};

}  // namespace korvid::test_support
