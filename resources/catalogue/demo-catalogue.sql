-- Demo product catalogue: invented models and firmware so the program can be
-- tried on a machine without real data. Built into ProductData.db at build
-- time by tools/catalogue-builder with the program's own key. Every FileName
-- below has a file in demo-firmware.txt.

BEGIN;

CREATE TABLE DeviceList (
    DeviceModel TEXT,
    DeviceType  INTEGER,  -- 0 Program Card, 1 ESC
    HWVER_BYTE0 INTEGER,
    HWVER_BYTE1 INTEGER,
    HWVER_BYTE2 INTEGER,
    HWVER_BYTE3 INTEGER,
    UpdateType  TEXT,     -- ESC only: '2' 24-byte blocks, anything else colon records
    EnableFlag  INTEGER   -- 1 listed and identified, anything else hidden
);

CREATE TABLE FirmwareList (
    FirmwareName TEXT,
    FileName     TEXT,    -- under Firmware/, without extension
    DeviceModel  TEXT,
    SWVER_BYTE0  INTEGER,
    SWVER_BYTE1  INTEGER,
    SWVER_BYTE2  INTEGER,
    SWVER_BYTE3  INTEGER,
    EnableFlag   INTEGER
);

-- Only the fifth column of the first row is read: the catalogue version.
CREATE TABLE DBVerInfo (
    Id      INTEGER,
    Title   TEXT,
    Notes   TEXT,
    Created TEXT,
    Version TEXT
);

-- The retired card comes first, so the enabled one after it is the Program
-- Card whose firmware the start-up list offers.
INSERT INTO DeviceList VALUES ('Demo Program Card 0', 0, 80, 67, 0, 0, NULL, 0);
INSERT INTO DeviceList VALUES ('Demo Program Card 1', 0, 80, 67, 1, 0, NULL, 1);
INSERT INTO DeviceList VALUES ('Demo ESC 45A',        1, 69, 83, 1, 45, '1', 1);
INSERT INTO DeviceList VALUES ('Demo ESC 80A',        1, 69, 83, 1, 80, '1', 1);
INSERT INTO DeviceList VALUES ('Demo ESC 120A',       1, 69, 83, 2, 120, '2', 1);
INSERT INTO DeviceList VALUES ('Demo ESC 160A',       1, 69, 83, 2, 160, '2', 1);
INSERT INTO DeviceList VALUES ('Demo ESC 30A',        1, 69, 83, 1, 30, '1', 0);

INSERT INTO FirmwareList VALUES ('Program Card 1 V1.0',      'DemoCard1_V1_0',    'Demo Program Card 1', 16, 1, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Program Card 1 V1.1',      'DemoCard1_V1_1',    'Demo Program Card 1', 16, 1, 1, 0, 1);
INSERT INTO FirmwareList VALUES ('Program Card 1 V1.2 beta', 'DemoCard1_V1_2b',   'Demo Program Card 1', 16, 1, 2, 0, 0);
INSERT INTO FirmwareList VALUES ('Program Card 1 V2.0',      'DemoCard1_V2_0',    'Demo Program Card 1', 16, 2, 0, 0, 1);
INSERT INTO FirmwareList VALUES ('Program Card 0 V0.9',      'DemoCard0_V0_9',    'Demo Program Card 0', 16, 0, 9, 0, 1);
INSERT INTO FirmwareList VALUES ('ESC 45A V1.0',             'DemoEsc45A_V1_0',   'Demo ESC 45A',        32, 45, 1, 0, 1);
INSERT INTO FirmwareList VALUES ('ESC 45A V1.1',             'DemoEsc45A_V1_1',   'Demo ESC 45A',        32, 45, 1, 1, 1);
INSERT INTO FirmwareList VALUES ('ESC 80A V1.0',             'DemoEsc80A_V1_0',   'Demo ESC 80A',        32, 80, 1, 0, 1);
INSERT INTO FirmwareList VALUES ('ESC 80A V2.0',             'DemoEsc80A_V2_0',   'Demo ESC 80A',        32, 80, 2, 0, 1);
INSERT INTO FirmwareList VALUES ('ESC 120A V1.0',            'DemoEsc120A_V1_0',  'Demo ESC 120A',       33, 120, 1, 0, 1);
INSERT INTO FirmwareList VALUES ('ESC 120A V1.1',            'DemoEsc120A_V1_1',  'Demo ESC 120A',       33, 120, 1, 1, 1);
INSERT INTO FirmwareList VALUES ('ESC 160A V1.0',            'DemoEsc160A_V1_0',  'Demo ESC 160A',       33, 160, 1, 0, 1);
INSERT INTO FirmwareList VALUES ('ESC 160A V1.1 beta',       'DemoEsc160A_V1_1b', 'Demo ESC 160A',       33, 160, 1, 1, 0);
INSERT INTO FirmwareList VALUES ('ESC 30A V1.0',             'DemoEsc30A_V1_0',   'Demo ESC 30A',        32, 30, 1, 0, 1);

INSERT INTO DBVerInfo VALUES (1, 'Demo catalogue', 'Invented models and firmware for trying the program', '2026-12-01', '2026.12.01');

COMMIT;
