-- The five tables of Data.mdb. ID is an auto-number that is never reused.
-- Yes/no columns are declared BOOLEAN, so readers can tell them from numbers,
-- and hold integers (1 = Yes; 0 or NULL = No). The draw settings
-- 速度, 定时 and 定长 are read through the numeric value of their text, so they
-- are TEXT columns: whatever the editor stored comes back unchanged.

CREATE TABLE 奖次表 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    抽奖内容 TEXT,
    底图 TEXT,
    速度 TEXT,
    屏蔽 TEXT,
    定时 TEXT,
    定长 TEXT,
    FRM TEXT,
    L0 TEXT,
    L1 TEXT,
    L2 TEXT
);

CREATE TABLE 奖项表 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    CID INTEGER,
    顺序 INTEGER,
    名称 TEXT,
    数量 INTEGER,
    同时 INTEGER,
    显示 BOOLEAN,
    重复 BOOLEAN,
    奖品 TEXT
);

CREATE TABLE 号码表 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    CID INTEGER,
    号码 TEXT,
    姓名 TEXT
);

CREATE TABLE 结果表 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    CID INTEGER,
    WID INTEGER,
    号码 TEXT,
    姓名 TEXT
);

CREATE TABLE 预设表 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    PID INTEGER,
    AID INTEGER,
    Code TEXT,
    Name TEXT
);

CREATE INDEX 奖项表_CID ON 奖项表 (CID);
CREATE INDEX 号码表_CID ON 号码表 (CID);
CREATE INDEX 结果表_CID ON 结果表 (CID);
CREATE INDEX 预设表_PID ON 预设表 (PID);
