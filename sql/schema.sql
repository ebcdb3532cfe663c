-- Competition database of the timing workstation. Text columns are Shift-JIS.
-- Times are text: HH:MM:SS.ffff for times of day, HH:MM:SS.ff for run times,
-- '' when not set. Columns only reset by the workstation belong to other software.

CREATE TABLE IF NOT EXISTS taikai (
  tcode   VARCHAR(20)  NOT NULL PRIMARY KEY,
  tname   VARCHAR(100) NOT NULL DEFAULT '',
  TPLACE  VARCHAR(100) NOT NULL DEFAULT '',
  GAME    VARCHAR(40)  NOT NULL DEFAULT '',
  HON     VARCHAR(4)   NOT NULL DEFAULT '2',
  tdate   DATE NULL,
  TCLASS  VARCHAR(40)  NOT NULL DEFAULT '',
  SEX     VARCHAR(10)  NOT NULL DEFAULT ''
) CHARACTER SET sjis;

CREATE TABLE IF NOT EXISTS result (
  tcode     VARCHAR(20) NOT NULL,
  zek       VARCHAR(4)  NOT NULL,
  name      VARCHAR(40) NOT NULL DEFAULT '',
  team      VARCHAR(60) NOT NULL DEFAULT '',
  st1       INT NOT NULL DEFAULT 0,
  st2       INT NOT NULL DEFAULT 0,
  class1    INT NOT NULL DEFAULT 0,
  dropm     VARCHAR(2)  NOT NULL DEFAULT '',
  sttime    VARCHAR(13) NOT NULL DEFAULT '',
  altime    VARCHAR(13) NOT NULL DEFAULT '',
  sttime2   VARCHAR(13) NOT NULL DEFAULT '',
  altime2   VARCHAR(13) NOT NULL DEFAULT '',
  ttime     VARCHAR(11) NOT NULL DEFAULT '',
  ttime2    VARCHAR(11) NOT NULL DEFAULT '',
  totaltime VARCHAR(11) NOT NULL DEFAULT '',
  FL        VARCHAR(1)  NOT NULL DEFAULT 'N',
  FL2       VARCHAR(1)  NOT NULL DEFAULT 'N',
  TH  VARCHAR(2) NOT NULL DEFAULT '', TM  VARCHAR(2) NOT NULL DEFAULT '',
  TS  VARCHAR(2) NOT NULL DEFAULT '', TMS VARCHAR(2) NOT NULL DEFAULT '',
  TH2 VARCHAR(2) NOT NULL DEFAULT '', TM2 VARCHAR(2) NOT NULL DEFAULT '',
  TS2 VARCHAR(2) NOT NULL DEFAULT '', TMS2 VARCHAR(2) NOT NULL DEFAULT '',
  diff   DECIMAL(10,2) NULL,
  point  DECIMAL(10,2) NULL,
  df1    INT NOT NULL DEFAULT 0,
  df2    INT NOT NULL DEFAULT 0,
  cutoff INT NOT NULL DEFAULT 0,
  e1     VARCHAR(10) NOT NULL DEFAULT '',
  e2     VARCHAR(10) NOT NULL DEFAULT '',
  BST1 VARCHAR(13) NOT NULL DEFAULT '99:99:99.9999',
  BFT1 VARCHAR(13) NOT NULL DEFAULT '99:99:99.9999',
  BRT1 VARCHAR(11) NOT NULL DEFAULT '99:99:99.99',
  BST2 VARCHAR(13) NOT NULL DEFAULT '99:99:99.9999',
  BFT2 VARCHAR(13) NOT NULL DEFAULT '99:99:99.9999',
  BRT2 VARCHAR(11) NOT NULL DEFAULT '99:99:99.99',
  HST1 VARCHAR(12) NOT NULL DEFAULT '99:99:99.999',
  HFT1 VARCHAR(12) NOT NULL DEFAULT '99:99:99.999',
  HRT1 VARCHAR(11) NOT NULL DEFAULT '99:99:99.99',
  HST2 VARCHAR(12) NOT NULL DEFAULT '99:99:99.999',
  HFT2 VARCHAR(12) NOT NULL DEFAULT '99:99:99.999',
  HRT2 VARCHAR(11) NOT NULL DEFAULT '99:99:99.99',
  PRIMARY KEY (tcode, zek),
  KEY result_class (tcode, class1, st1)
) CHARACTER SET sjis;

-- The impulse log: one row per timer line; rows are never updated.
CREATE TABLE IF NOT EXISTS pulsedata (
  id    INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  tcode VARCHAR(20) NOT NULL DEFAULT '',
  ttime INT NOT NULL DEFAULT 0,
  tstat VARCHAR(1)  NOT NULL DEFAULT '',
  bib   VARCHAR(4)  NOT NULL DEFAULT '',
  stat  VARCHAR(2)  NOT NULL DEFAULT '',
  dtime VARCHAR(13) NOT NULL DEFAULT '',
  -- Covers the impulse lists (select * ... where tcode and stat, order by dtime desc), so
  -- re-reading a list after each impulse needs neither a sort nor row lookups.
  KEY pulsedata_list (tcode, stat, dtime, tstat, bib, ttime)
) CHARACTER SET sjis;

-- The capture lock: one row, '1' while a workstation captures into this database.
CREATE TABLE IF NOT EXISTS execcheck (
  stat VARCHAR(1) NOT NULL DEFAULT '0'
) CHARACTER SET sjis;

CREATE TABLE IF NOT EXISTS cs_master (
  cname VARCHAR(40) NOT NULL,
  ccode VARCHAR(3)  NOT NULL,
  PRIMARY KEY (cname)
) CHARACTER SET sjis;

-- Hand times, kept by other software; the workstation only deletes them on a reset.
CREATE TABLE IF NOT EXISTS handtm (
  id    INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  tcode VARCHAR(20) NOT NULL,
  run   VARCHAR(2)  NOT NULL DEFAULT '1',
  zek   VARCHAR(4)  NOT NULL DEFAULT '',
  htime VARCHAR(13) NOT NULL DEFAULT '',
  KEY handtm_tcode (tcode, run)
) CHARACTER SET sjis;

-- The capture's searches for who starts and finishes next in a class read only the rows
-- they need, however large the class (added to existing databases as well).
CREATE INDEX IF NOT EXISTS result_next_start ON result (tcode, class1, sttime, st1);
CREATE INDEX IF NOT EXISTS result_next_finish ON result (tcode, class1, altime, FL, sttime);
CREATE INDEX IF NOT EXISTS result_next_start2 ON result (tcode, class1, FL, st2);
CREATE INDEX IF NOT EXISTS result_next_finish2 ON result (tcode, class1, altime2, FL2, sttime2);
-- Who is on course (started, no run time yet), earliest start first, in a class or in any.
CREATE INDEX IF NOT EXISTS result_on_course ON result (tcode, class1, FL, sttime);
CREATE INDEX IF NOT EXISTS result_on_course2 ON result (tcode, class1, FL2, sttime2);
CREATE INDEX IF NOT EXISTS result_on_course_all ON result (tcode, FL, sttime);
CREATE INDEX IF NOT EXISTS result_on_course_all2 ON result (tcode, FL2, sttime2);
-- Who starts or finishes first in the highest class still waiting (class1 descending, then
-- start order) is the first entry of these, without sorting the field.
CREATE INDEX IF NOT EXISTS result_first_to_start ON result (tcode, sttime, class1 DESC, st1);
CREATE INDEX IF NOT EXISTS result_first_to_finish ON result (tcode, altime, class1 DESC, st1);
CREATE INDEX IF NOT EXISTS result_first_to_start2 ON result (tcode, sttime2, class1 DESC, st2);
CREATE INDEX IF NOT EXISTS result_first_to_finish2 ON result (tcode, altime2, class1 DESC, st2);
-- The impulses logged since a list was read ("id > newest") are found without reading the
-- channel's whole day.
CREATE INDEX IF NOT EXISTS pulsedata_newer ON pulsedata (tcode, stat, id);

-- Tables of the workstation's own, beside those other software shares.

-- The receipt of every logged timer line (the journal's own identity of the line), written
-- in the same transaction as its pulsedata row: a line whose reply was lost is found here
-- and never written twice.
CREATE TABLE IF NOT EXISTS pulse_receipt (
  receipt  VARCHAR(40) NOT NULL PRIMARY KEY,
  pulse_id INT NOT NULL
) CHARACTER SET ascii;

-- Impulses that automatic capture did not assign to anybody; the row goes when the operator
-- assigns or dismisses the impulse.
CREATE TABLE IF NOT EXISTS pulse_unassigned (
  pulse_id INT NOT NULL PRIMARY KEY,
  tcode    VARCHAR(20) NOT NULL,
  reason   VARCHAR(80) NOT NULL DEFAULT '',
  KEY pulse_unassigned_tcode (tcode)
) CHARACTER SET sjis;

-- The run being timed when each timer line arrived, so that each run page lists its own
-- impulses (lines logged without a run selected, or recovered from the journal, have none
-- and show on both pages).
CREATE TABLE IF NOT EXISTS pulse_run (
  pulse_id INT NOT NULL PRIMARY KEY,
  run      INT NOT NULL
) CHARACTER SET ascii;

-- Who holds the capture lock of execcheck: the machine and process, so that a workstation
-- restarted after its own crash takes its lock back without a question.
CREATE TABLE IF NOT EXISTS capture_holder (
  id    INT NOT NULL PRIMARY KEY,
  host  VARCHAR(255) NOT NULL DEFAULT '',
  pid   BIGINT NOT NULL DEFAULT 0,
  since DATETIME NULL
) CHARACTER SET utf8mb4;

-- Run statuses: did not start (DNS), did not finish (DNF), disqualified (DSQ, with the gate
-- and the jury's reason). A status never replaces a time: times stay as captured.
CREATE TABLE IF NOT EXISTS run_status (
  tcode  VARCHAR(20)  NOT NULL,
  zek    VARCHAR(4)   NOT NULL,
  run    INT          NOT NULL,
  code   VARCHAR(3)   NOT NULL,
  gate   VARCHAR(10)  NOT NULL DEFAULT '',
  reason VARCHAR(200) NOT NULL DEFAULT '',
  PRIMARY KEY (tcode, zek, run)
) CHARACTER SET sjis;

-- Every change to a competitor's times or statuses that did not come straight from a valid
-- timer line: who, where and why, with the row's times and statuses before and after (so a
-- change can be reverted exactly, and times set by hand are marked).
CREATE TABLE IF NOT EXISTS change_history (
  id          INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  tcode       VARCHAR(20)  NOT NULL,
  at          DATETIME(3)  NOT NULL,
  host        VARCHAR(100) NOT NULL DEFAULT '',
  zek         VARCHAR(4)   NOT NULL,
  run         INT          NOT NULL DEFAULT 0,
  source      VARCHAR(10)  NOT NULL,
  what        VARCHAR(200) NOT NULL DEFAULT '',
  before_text VARCHAR(400) NOT NULL DEFAULT '',
  after_text  VARCHAR(400) NOT NULL DEFAULT '',
  before_row  MEDIUMTEXT NOT NULL,
  after_row   MEDIUMTEXT NOT NULL,
  KEY change_history_bib (tcode, zek, id)
) CHARACTER SET sjis;
-- A reset keeps the backup timing data it clears in its history entry (databases made before).
ALTER TABLE change_history MODIFY before_row MEDIUMTEXT NOT NULL,
  MODIFY after_row MEDIUMTEXT NOT NULL;

-- Backup timing. The second timer's lines (system B), with the fields of pulsedata and their
-- receipts; never captured into result.
CREATE TABLE IF NOT EXISTS backup_impulse (
  id    INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  tcode VARCHAR(20) NOT NULL DEFAULT '',
  ttime INT NOT NULL DEFAULT 0,
  tstat VARCHAR(1)  NOT NULL DEFAULT '',
  bib   VARCHAR(4)  NOT NULL DEFAULT '',
  stat  VARCHAR(2)  NOT NULL DEFAULT '',
  dtime VARCHAR(13) NOT NULL DEFAULT '',
  run   INT NOT NULL DEFAULT 0,
  KEY backup_impulse_list (tcode, stat, dtime)
) CHARACTER SET sjis;
-- The run being timed when each second-timer line arrived (0: none), as pulse_run does for the
-- timer's lines: the second timer's lines carry no run of their own (databases made before).
ALTER TABLE backup_impulse ADD COLUMN IF NOT EXISTS run INT NOT NULL DEFAULT 0;

CREATE TABLE IF NOT EXISTS backup_receipt (
  receipt  VARCHAR(40) NOT NULL PRIMARY KEY,
  pulse_id INT NOT NULL
) CHARACTER SET ascii;

-- Hand times of a run and channel ('start' or 'finish'), as imported or typed (one sheet per
-- run and channel; a new import replaces it).
CREATE TABLE IF NOT EXISTS hand_time (
  id      INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  tcode   VARCHAR(20) NOT NULL,
  run     INT NOT NULL,
  channel VARCHAR(6)  NOT NULL,
  line    INT NOT NULL DEFAULT 0,
  bib     VARCHAR(4)  NOT NULL DEFAULT '',
  htime   VARCHAR(13) NOT NULL,
  KEY hand_time_sheet (tcode, run, channel)
) CHARACTER SET sjis;

-- What the race office knows of an entry beyond result's name, team and class: kept by our
-- own office, read by the documents. One row per competitor of a competition.
CREATE TABLE IF NOT EXISTS entry_detail (
  tcode      VARCHAR(20)  NOT NULL,
  zek        VARCHAR(4)   NOT NULL,
  kana       VARCHAR(60)  NOT NULL DEFAULT '',
  sex        VARCHAR(4)   NOT NULL DEFAULT '',
  birth_year VARCHAR(4)   NOT NULL DEFAULT '',
  nation     VARCHAR(20)  NOT NULL DEFAULT '',
  licence    VARCHAR(20)  NOT NULL DEFAULT '',
  points     VARCHAR(10)  NOT NULL DEFAULT '',
  PRIMARY KEY (tcode, zek),
  KEY entry_detail_licence (tcode, licence)
) CHARACTER SET sjis;

-- The run-1 draws the race office made: how, and with which seed, so that a draw can be
-- repeated and checked. The latest of a class is the one its start order follows.
CREATE TABLE IF NOT EXISTS start_draw (
  id       INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  tcode    VARCHAR(20) NOT NULL,
  class1   INT NOT NULL,
  method   VARCHAR(10) NOT NULL,
  seed     BIGINT UNSIGNED NOT NULL DEFAULT 0,
  seeded   INT NOT NULL DEFAULT 0,
  drawn_at DATETIME NOT NULL,
  KEY start_draw_class (tcode, class1, id)
) CHARACTER SET sjis;

-- The race data the documents need, per competition (run 0) or per run: course, jury,
-- forerunners, weather. Kept by our own office, one row an item.
CREATE TABLE IF NOT EXISTS race_data (
  tcode VARCHAR(20)  NOT NULL,
  run   INT          NOT NULL,
  item  VARCHAR(30)  NOT NULL,
  value VARCHAR(200) NOT NULL DEFAULT '',
  PRIMARY KEY (tcode, run, item)
) CHARACTER SET sjis;

-- How each class's run-2 start order is made: how many of run 1 start in reverse, who starts
-- first among tied competitors, and whether those without a run-1 result start after the
-- others. Class 0 holds the competition's rule for classes without their own.
CREATE TABLE IF NOT EXISTS run2_rule (
  tcode        VARCHAR(20) NOT NULL,
  class1       INT NOT NULL,
  reversed     INT NOT NULL DEFAULT 30,
  lower_first  INT NOT NULL DEFAULT 1,
  others_after INT NOT NULL DEFAULT 0,
  PRIMARY KEY (tcode, class1)
) CHARACTER SET sjis;

-- Results the operator published as official: run 1, run 2 or the race, when, and a digest of
-- the results as published (a later change makes the list unofficial again until published
-- again).
CREATE TABLE IF NOT EXISTS publication (
  tcode        VARCHAR(20) NOT NULL,
  scope        VARCHAR(4)  NOT NULL,
  published_at DATETIME    NOT NULL,
  digest       VARCHAR(64) NOT NULL,
  PRIMARY KEY (tcode, scope)
) CHARACTER SET sjis;
