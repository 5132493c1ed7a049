#pragma once
// The film database's tables, shared by the build that writes them and the queries that read
// them.
//
// titles: one row a kept title, numbered (id) in the order of votes, most first, so the word
//   index's row order is already the order a search shows; original_title and original_key
//   are NULL where they equal the primary ones; primary_key and original_key are the folded
//   titles (FoldTitle) for the exact matches; director and lead are nconsts.
// names: the names a kept title refers to.
// alternative_titles: a title's other titles (title.akas), by the title's numeric key
//   (IdKey, the order of the file) and the folded title; title is NULL where it equals key.
//   Only those whose key differs from the title's primary and original keys are kept.
// title_words: the full-text index, contentless: its columns hold folded text (search_terms.h).
// meta: schema_version, built_at, titles, names, alternative_titles, skipped_rows,
//   date:<file name> and size:<file name> for each source file, and complete = 1, written last.

namespace korvid::dataset {

// The schema a build writes. A database of schema 1 (an earlier Korvid's) is still read, with
// that schema's own fold and word index, until an update rebuilds it.
inline constexpr const char* kSchemaVersion = "2";

inline constexpr const char* kCreateTables = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE titles(
  id INTEGER PRIMARY KEY,
  tconst TEXT NOT NULL,
  type TEXT NOT NULL,
  primary_title TEXT NOT NULL,
  original_title TEXT,
  year INTEGER,
  minutes INTEGER,
  genres TEXT NOT NULL,
  rating TEXT,
  votes INTEGER NOT NULL,
  director TEXT,
  lead TEXT,
  lead_character TEXT,
  primary_key TEXT NOT NULL,
  original_key TEXT);
CREATE TABLE names(nconst TEXT PRIMARY KEY, name TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE alternative_titles(
  title_key INTEGER NOT NULL,
  key TEXT NOT NULL,
  title TEXT,
  region TEXT,
  language TEXT,
  PRIMARY KEY(title_key, key)) WITHOUT ROWID;
)sql";

// Made after the bulk load: an index is built faster from the whole table than row by row.
// The word index is filled by the build itself, a row a title (rowid = the title's id), with
// the folded texts and the pairs of their Japanese, Chinese and Korean runs (search_terms.h).
inline constexpr const char* kCreateIndexes = R"sql(
CREATE UNIQUE INDEX titles_tconst ON titles(tconst);
CREATE INDEX titles_primary_key ON titles(primary_key);
CREATE INDEX titles_original_key ON titles(original_key) WHERE original_key IS NOT NULL;
CREATE INDEX alternative_titles_key ON alternative_titles(key);
CREATE VIRTUAL TABLE title_words USING fts5(primary_title, primary_pairs, original_title,
  original_pairs, alternative, alternative_pairs, content='', columnsize=0,
  tokenize='unicode61 remove_diacritics 0');
)sql";

// Schema 1: no alternative titles; the word index over the raw titles (external content),
// folded by SQLite's own tokenizer, and exact keys made by LegacyFold.
inline constexpr const char* kSchema1Tables = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE titles(
  id INTEGER PRIMARY KEY,
  tconst TEXT NOT NULL,
  type TEXT NOT NULL,
  primary_title TEXT NOT NULL,
  original_title TEXT,
  year INTEGER,
  minutes INTEGER,
  genres TEXT NOT NULL,
  rating TEXT,
  votes INTEGER NOT NULL,
  director TEXT,
  lead TEXT,
  lead_character TEXT,
  primary_key TEXT NOT NULL,
  original_key TEXT);
CREATE TABLE names(nconst TEXT PRIMARY KEY, name TEXT NOT NULL) WITHOUT ROWID;
)sql";

inline constexpr const char* kSchema1Indexes = R"sql(
CREATE UNIQUE INDEX titles_tconst ON titles(tconst);
CREATE INDEX titles_primary_key ON titles(primary_key);
CREATE INDEX titles_original_key ON titles(original_key) WHERE original_key IS NOT NULL;
CREATE VIRTUAL TABLE title_words USING fts5(primary_title, original_title,
  content='titles', content_rowid='id', columnsize=0,
  tokenize='unicode61 remove_diacritics 2');
INSERT INTO title_words(title_words) VALUES('rebuild');
)sql";

// Each schema Korvid reads: its version as meta's schema_version gives it, and its texts.
struct SchemaText {
    int version;
    const char* tables;
    const char* indexes;
};
inline constexpr SchemaText kSchemas[] = {{1, kSchema1Tables, kSchema1Indexes},
                                          {2, kCreateTables, kCreateIndexes}};

}  // namespace korvid::dataset
