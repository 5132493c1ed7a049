#pragma once
// The film database's tables, shared by the build that writes them and the queries that read
// them.
//
// titles: one row a kept title, numbered (id) in the order of votes, most first, so the word
//   index's row order is already the order a search shows; original_title and original_key
//   are NULL where they equal the primary ones; primary_key and original_key are the folded
//   titles (LegacyFold) for the exact matches; director and lead are nconsts.
// names: the names a kept title refers to.
// title_words: the full-text index of the two titles (external content: titles).
// meta: schema_version, built_at, titles, names, skipped_rows, date:<file name> for each
//   source file, and complete = 1, written last.

namespace korvid::dataset {

inline constexpr const char* kSchemaVersion = "1";

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
)sql";

// Made after the bulk load: an index is built faster from the whole table than row by row.
inline constexpr const char* kCreateIndexes = R"sql(
CREATE UNIQUE INDEX titles_tconst ON titles(tconst);
CREATE INDEX titles_primary_key ON titles(primary_key);
CREATE INDEX titles_original_key ON titles(original_key) WHERE original_key IS NOT NULL;
CREATE VIRTUAL TABLE title_words USING fts5(primary_title, original_title,
  content='titles', content_rowid='id', columnsize=0,
  tokenize='unicode61 remove_diacritics 2');
INSERT INTO title_words(title_words) VALUES('rebuild');
)sql";

}  // namespace korvid::dataset
