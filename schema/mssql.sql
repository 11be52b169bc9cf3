-- Shop database, Microsoft SQL Server.
--
-- Dates and date-times are DATETIME, local time of the shop; a date alone is stored at
-- 00:00:00. Points and money are FLOAT (double precision). The product-tree position
-- PRODUTO.CDARVPROD uses a binary collation so that LIKE prefixes match byte by byte.
--
-- Columns that the loyalty statements name come first in each table; every further
-- column is nullable or has a default, so that outside tools can insert rows naming only
-- the former. Statements end with ';' at the end of a line.

-- Branches, shops and registers -------------------------------------------------------

CREATE TABLE FILIAL (
   CDFILIAL       VARCHAR(4)   NOT NULL PRIMARY KEY,
   NMFILIAL       VARCHAR(50),
   SGESTADO       VARCHAR(2),
   NRINSJURFILI   VARCHAR(14),
   CDTABPRECO     VARCHAR(10)                        -- the branch's default price table
);

CREATE TABLE LOJA (
   CDFILIAL       VARCHAR(4)   NOT NULL,
   CDLOJA         VARCHAR(10)  NOT NULL,
   NMLOJA         VARCHAR(50),
   CDTABPRECO     VARCHAR(10),                       -- the shop's own price table
   PRIMARY KEY (CDFILIAL, CDLOJA)
);

CREATE TABLE CAIXA (
   CDFILIAL       VARCHAR(4)   NOT NULL,
   CDCAIXA        VARCHAR(3)   NOT NULL,
   NMCAIXA        VARCHAR(50),
   CDLOJA         VARCHAR(10),
   PRIMARY KEY (CDFILIAL, CDCAIXA)
);

-- Clients and their consumers ---------------------------------------------------------

CREATE TABLE CLIENTE (
   CDCLIENTE      VARCHAR(21)  NOT NULL PRIMARY KEY,
   NMFANTCLIE     VARCHAR(50),
   NMRAZSOCCLIE   VARCHAR(60),
   NRINSJURCLIE   VARCHAR(14),
   CDTABPRECO     VARCHAR(10)                        -- the client's own price table
);

CREATE TABLE CONSUMIDOR (
   CDCLIENTE      VARCHAR(21)  NOT NULL,
   CDCONSUMIDOR   VARCHAR(21)  NOT NULL,
   NMCONSUMIDOR   VARCHAR(50),
   CDIDCONSUMID   VARCHAR(21),
   NRCPFRESPCON   VARCHAR(11),
   DSENDECONS     VARCHAR(50),
   IDSITCONSUMI   VARCHAR(1)   DEFAULT 'A',
   DTCADCONS      DATETIME,
   PRIMARY KEY (CDCLIENTE, CDCONSUMIDOR)
);
CREATE INDEX CONSUMIDOR_CONSUMIDOR ON CONSUMIDOR (CDCONSUMIDOR);

-- Loyalty campaigns, points and vouchers ----------------------------------------------

CREATE TABLE CAMPANHA (
   CDCAMPANHA     VARCHAR(10)  NOT NULL PRIMARY KEY,
   DSCAMPANHA     VARCHAR(40),
   IDUTILVOUCHER  VARCHAR(1)   DEFAULT 'N',          -- 'N': gifts paid from points, else from vouchers
   DTINICAMPANHA  DATETIME,
   DTFIMCAMPANHA  DATETIME
);

-- Point movements: 'C' credits (with an optional validity date), other types are the
-- host's own bookkeeping and are not read by the balance.
CREATE TABLE MOVPONTOCONS (
   NRSEQMOVCONS   BIGINT IDENTITY(1,1) PRIMARY KEY,  -- assigned by the database
   CDCLIENTE      VARCHAR(21)  NOT NULL,
   CDCONSUMIDOR   VARCHAR(21)  NOT NULL,
   CDCAMPANHA     VARCHAR(10)  NOT NULL,
   IDTPMOVCONS    VARCHAR(1)   NOT NULL,
   VRSALDOCONS    FLOAT DEFAULT 0 NOT NULL,
   DTVALIDAPONTO  DATETIME,                          -- null: the points never expire
   DTMOVCONS      DATETIME,
   CDFILIAL       VARCHAR(4),
   CDCAIXA        VARCHAR(3),
   NRSEQVENDA     VARCHAR(10)
);
-- Covers the balance's credit figure: the consumer's rows are read from the index alone.
CREATE INDEX MOVPONTOCONS_SALDO ON MOVPONTOCONS
   (CDCLIENTE, CDCONSUMIDOR, IDTPMOVCONS, CDCAMPANHA) INCLUDE (DTVALIDAPONTO, VRSALDOCONS);

CREATE TABLE VOUCHERVND (
   NRSEQVOUCHER   BIGINT IDENTITY(1,1) PRIMARY KEY,  -- assigned by the database
   CDCLIENTE      VARCHAR(21)  NOT NULL,
   CDCONSUMIDOR   VARCHAR(21)  NOT NULL,
   CDCAMPANHA     VARCHAR(10)  NOT NULL,
   IDUTIVOUCHER   VARCHAR(1)   NOT NULL DEFAULT 'N',  -- 'N': not used yet
   VRPTOVOUCHER   FLOAT DEFAULT 0 NOT NULL,
   DTVALVOUCHER   DATETIME,                          -- null: never counted as open
   NRVOUCHER      VARCHAR(20),
   DTEMISVOUCHER  DATETIME,
   CDFILIAL       VARCHAR(4),
   CDCAIXA        VARCHAR(3),
   NRSEQVENDA     VARCHAR(10)
);
CREATE INDEX VOUCHERVND_SALDO ON VOUCHERVND
   (CDCLIENTE, CDCONSUMIDOR, IDUTIVOUCHER, CDCAMPANHA) INCLUDE (DTVALVOUCHER, VRPTOVOUCHER);

-- Products, the product tree, taxes, gifts and prices ---------------------------------

-- CDARVPROD is the product's position in the product tree; a node of the tree is a
-- product too (IDTIPOPROD 'G'), whose position is a prefix of the positions beneath it.
CREATE TABLE PRODUTO (
   CDPRODUTO      VARCHAR(10)  NOT NULL PRIMARY KEY,
   NMPRODUTO      VARCHAR(50),
   CDARVPROD      VARCHAR(20)  COLLATE Latin1_General_BIN2,
   SGUNIDADE      VARCHAR(10),
   CDBARPRODUTO   VARCHAR(20),
   IDTIPOPROD     VARCHAR(1)   DEFAULT 'P',           -- 'P' product, 'G' tree node
   IDPRODBLOQ     VARCHAR(1)   DEFAULT 'N',           -- 'S': not to be sold now
   CDNCM          VARCHAR(8),
   CDCEST         VARCHAR(7)
);
CREATE INDEX PRODUTO_ARVORE ON PRODUTO (CDARVPROD);

CREATE TABLE ALIQIMPFIS (
   CDFILIAL       VARCHAR(4)   NOT NULL,
   CDPRODUTO      VARCHAR(10)  NOT NULL,
   VRPEALIMPFIS   FLOAT NOT NULL DEFAULT 0,    -- rate, percent
   CDIMPOSTO      VARCHAR(2),
   IDTPIMPOSFIS   VARCHAR(1),
   PRIMARY KEY (CDFILIAL, CDPRODUTO)
);

CREATE TABLE BRINDECAMPANHA (
   CDCAMPANHA     VARCHAR(10)  NOT NULL,
   CDPRODUTO      VARCHAR(10)  NOT NULL,
   VRPONTOBRINDE  FLOAT DEFAULT 0 NOT NULL,
   PRIMARY KEY (CDCAMPANHA, CDPRODUTO)
);

-- Price tables: a table is current when today lies between its start and end dates
-- (either may be null: open-ended).
CREATE TABLE TABPRECO (
   CDTABPRECO     VARCHAR(10)  NOT NULL PRIMARY KEY,
   NMTABPRECO     VARCHAR(50),
   DTINIVGTABPR   DATETIME,
   DTFINVGTABPR   DATETIME
);

CREATE TABLE ITTABPRECO (
   CDTABPRECO     VARCHAR(10)  NOT NULL,
   CDPRODUTO      VARCHAR(10)  NOT NULL,
   VRPRECITEM     FLOAT DEFAULT 0 NOT NULL,
   PRIMARY KEY (CDTABPRECO, CDPRODUTO)
);

-- Sales -------------------------------------------------------------------------------

-- IDSITUVENDA: 'O' concluded, 'C' cancelled, 'A' open. IDIMPVENDA: 'I' printed, 'N' not.
-- IDTPDOCVENDA: 'E' fiscal printer receipt, 'N' NFC-e, 'S' SAT CF-e.
CREATE TABLE VENDA (
   CDFILIAL         VARCHAR(4)   NOT NULL,
   CDCAIXA          VARCHAR(3)   NOT NULL,
   NRSEQVENDA       VARCHAR(10)  NOT NULL,
   IDSITUVENDA      VARCHAR(1)   DEFAULT 'A' NOT NULL,
   IDIMPVENDA       VARCHAR(1)   DEFAULT 'N' NOT NULL,
   CDEMPRESA        VARCHAR(2),
   CDLOJA           VARCHAR(10),
   CDOPERADOR       VARCHAR(12),
   CDCLIENTE        VARCHAR(21),
   CDCONSUMIDOR     VARCHAR(21),
   NMCONSVEND       VARCHAR(50),
   NRINSCRCONS      VARCHAR(20),
   DSENDEVENDA      VARCHAR(60),
   DTABERCAIX       DATETIME,
   DTMOVIMCAIXA     DATETIME,
   DTHRVENDA        DATETIME,
   VRTOTVENDA       FLOAT DEFAULT 0,
   VRDESCVENDA      FLOAT DEFAULT 0,
   VRACRVENDA       FLOAT DEFAULT 0,
   NRCUPOMFIS       VARCHAR(10),
   NRCONTCUPOMFISC  VARCHAR(10),
   NRSERIEIMP       VARCHAR(50),
   IDTPDOCVENDA     VARCHAR(1),
   CDSERIENFCE      VARCHAR(3),
   NRNOTAFISCALCE   VARCHAR(9),
   IDTPAMBNFCE      VARCHAR(1),
   DTEMISSNFCE      VARCHAR(30),
   DSCHAVEACESSO    VARCHAR(44),
   DSQRCODE         VARCHAR(1000),
   NRPROTAUTNFCE    VARCHAR(20),
   NRCFE            VARCHAR(6),
   CDPREFINTGCOLVEN VARCHAR(10),
   DTHRCANCVEN      DATETIME,
   PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQVENDA)
);
-- A sale found by its receipt and the printer's counter (the recovery of an interrupted sale).
CREATE INDEX VENDA_CUPOM ON VENDA (NRCUPOMFIS, NRCONTCUPOMFISC);

CREATE TABLE ITVENDA (
   CDFILIAL         VARCHAR(4)   NOT NULL,
   CDCAIXA          VARCHAR(3)   NOT NULL,
   NRSEQVENDA       VARCHAR(10)  NOT NULL,
   NRSEQITVEND      VARCHAR(3)   NOT NULL,
   CDPRODUTO        VARCHAR(10)  NOT NULL,
   NMPRODUTO        VARCHAR(50),
   CDARVPROD        VARCHAR(20),
   QTPRODVEND       FLOAT DEFAULT 1,
   VRUNITVEND       FLOAT DEFAULT 0,
   VRDESCITVEND     FLOAT DEFAULT 0,
   VRACRITVEND      FLOAT DEFAULT 0,
   IDTPIMPOSFIS     VARCHAR(1),
   CDIMPOSTO        VARCHAR(2),
   VRALIQIMPR       FLOAT,
   CDORDALIQIMPR    VARCHAR(5),
   CDPRODIMPFIS     VARCHAR(20),
   CDPRODPROMOCAO   VARCHAR(20),
   CDVENDEDOR       VARCHAR(4),
   CDLOJA           VARCHAR(10),
   PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQVENDA, NRSEQITVEND)
);

-- Loyalty items of a sale: 'R' points redeemed from the balance, 'V' points redeemed
-- from vouchers. They count against the balance only while their sale is concluded and
-- printed.
CREATE TABLE ITFIDELIDADE (
   NRSEQITFIDEL     BIGINT IDENTITY(1,1) PRIMARY KEY,  -- assigned by the database
   CDFILIAL         VARCHAR(4)   NOT NULL,
   CDCAIXA          VARCHAR(3)   NOT NULL,
   NRSEQVENDA       VARCHAR(10)  NOT NULL,
   CDCLIENTE        VARCHAR(21)  NOT NULL,
   CDCONSUMIDOR     VARCHAR(21)  NOT NULL,
   CDCAMPANHA       VARCHAR(10)  NOT NULL,
   IDTPOPERITFIDEL  VARCHAR(1)   NOT NULL,
   VRPONTOBRINDE    FLOAT DEFAULT 0 NOT NULL,
   CDPRODUTO        VARCHAR(10),
   NRSEQITVEND      VARCHAR(3)
);
CREATE INDEX ITFIDELIDADE_SALDO ON ITFIDELIDADE
   (CDCLIENTE, CDCONSUMIDOR, IDTPOPERITFIDEL) INCLUDE (CDCAMPANHA, CDFILIAL, CDCAIXA, NRSEQVENDA, VRPONTOBRINDE);
CREATE INDEX ITFIDELIDADE_VENDA ON ITFIDELIDADE (CDFILIAL, CDCAIXA, NRSEQVENDA);

-- Cash movements (one record per payment or withdrawal).
CREATE TABLE MOVCAIXA (
   CDFILIAL         VARCHAR(4)   NOT NULL,
   CDCAIXA          VARCHAR(3)   NOT NULL,
   NRSEQUMOVI       VARCHAR(10)  NOT NULL,
   IDTIPOMOVIVE     VARCHAR(1),
   DSMOVIVEND       VARCHAR(250),
   NRSEQVENDA       VARCHAR(10),
   CDTIPORECE       VARCHAR(3),
   DTHRINCMOV       DATETIME,
   DTDEPCHEQUE      DATETIME,
   NRCONTRAVALE     VARCHAR(10),
   CDTIPOTROCO      VARCHAR(3),
   VRMOVIVEND       FLOAT DEFAULT 0,
   NMTIPORECE       VARCHAR(40),
   NRORDTROCO       VARCHAR(3),
   CDCLIENTE        VARCHAR(21),
   CDCONSUMIDOR     VARCHAR(21),
   DTMOVIMCAIXA     DATETIME,
   VRMOVIVEOUT      FLOAT,
   VRCOTINDOUT      FLOAT,
   CDAGECHEQVEN     VARCHAR(5),
   CDBANCHEQVEN     VARCHAR(3),
   CDCNTCHEQVEN     VARCHAR(16),
   DTDEPCHEQVEN     DATETIME,
   NRCHEQUEVEND     VARCHAR(6),
   DSIMPFISCAL      VARCHAR(50),
   IDTIPORECE       VARCHAR(1),
   CDFPIMPFIS       VARCHAR(10),
   NRCARTBANCO      VARCHAR(10),
   CDBANCARTCR      VARCHAR(10),
   CDTIPORECEORIG   VARCHAR(3),
   CDCCUSCLIE       VARCHAR(10),
   CDNSUHOSTTEF     VARCHAR(50),
   NMTIPORECEORIG   VARCHAR(40),
   QTPARCRECEB      FLOAT,
   NRCONTROLTEF     VARCHAR(50),
   NMBANDTEF        VARCHAR(100),
   NRAUTORIZATEF    VARCHAR(50),
   IDFILAPAGMFE     VARCHAR(10),
   CDAUTORIZMFE     VARCHAR(10),
   CDBINCARTMFE     VARCHAR(10),
   NMINSTFINMFE     VARCHAR(50),
   CDPAGAMENMFE     VARCHAR(10),
   CDNSUTEF         VARCHAR(50),
   DSCARTDIGITAL    VARCHAR(100),
   PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQUMOVI)
);
CREATE INDEX MOVCAIXA_VENDA ON MOVCAIXA (CDFILIAL, CDCAIXA, NRSEQVENDA);

-- Cancelled-sale log: one entry per cancelled sale, with the items it carried.
CREATE TABLE VENDACANCELADA (
   CDFILIAL         VARCHAR(4)   NOT NULL,
   CDCAIXA          VARCHAR(3)   NOT NULL,
   NRSEQVENDACAN    VARCHAR(10)  NOT NULL,
   NRSEQVENDA       VARCHAR(10),                      -- the concluded sale it cancels, if any
   CDEMPRESA        VARCHAR(2),
   CDOPERADOR       VARCHAR(12),
   NRCUPOMFIS       VARCHAR(10),
   NRSERIEIMP       VARCHAR(50),
   DSMODELOECF      VARCHAR(50),
   DSMARCAECF       VARCHAR(50),
   DSECFIMP         VARCHAR(50),
   DTMOVIMCAIXA     DATETIME,
   DTHRCANCVEN      DATETIME,
   VRTOTVENDA       FLOAT DEFAULT 0,
   DSMOTIVOCANC     VARCHAR(100),
   PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQVENDACAN)
);

CREATE TABLE ITVENDACANCELADA (
   CDFILIAL         VARCHAR(4)   NOT NULL,
   CDCAIXA          VARCHAR(3)   NOT NULL,
   NRSEQVENDACAN    VARCHAR(10)  NOT NULL,
   NRSEQITVEND      VARCHAR(3)   NOT NULL,
   CDPRODUTO        VARCHAR(10),
   NMPRODUTO        VARCHAR(50),
   QTPRODVEND       FLOAT DEFAULT 1,
   VRUNITVEND       FLOAT DEFAULT 0,
   VRDESCITVEND     FLOAT DEFAULT 0,
   PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQVENDACAN, NRSEQITVEND)
);

-- Redemptions concluded whose electronic document (SAT CF-e, NFC-e) is still to come.
-- The sale close-out writes the row in its own transaction and the registration of the
-- document removes it; a row left behind (a crash, a lost database) names the terminal
-- that must resolve it: the sale stands when its document was issued, and is cancelled
-- with its points given back when it was not.
CREATE TABLE VENDAPENDENTE (
   CDFILIAL         VARCHAR(4)   NOT NULL,
   CDCAIXA          VARCHAR(3)   NOT NULL,
   NRSEQVENDA       VARCHAR(10)  NOT NULL,
   IDTPDOCVENDA     VARCHAR(1)   NOT NULL,
   DSTERMINAL       VARCHAR(200) NOT NULL,
   DTHRINCLUSAO     DATETIME,
   PRIMARY KEY (CDFILIAL, CDCAIXA, NRSEQVENDA)
);

-- Counters and NFC-e numbering ---------------------------------------------------------

-- Named counters and first-of-day markers. The key is unique: a marker is never stored
-- twice, and an insert that loses the race to another terminal fails.
CREATE TABLE NOVOCODIGO (
   CDCONTADOR     VARCHAR(100) NOT NULL PRIMARY KEY,
   NRSEQUENCIAL   VARCHAR(20)
);

-- NFC-e numbers drawn, recorded for voiding until the host settles them (status 'P').
-- A number is unique within its branch, series and environment.
CREATE TABLE INUTILIZANFCE (
   CDFILIAL       VARCHAR(4)   NOT NULL,
   CDCAIXA        VARCHAR(3),
   NRNOTAFISCALCE VARCHAR(9)   NOT NULL,
   DTENTRVENDA    DATETIME,
   CDSERIENFCE    VARCHAR(3)   NOT NULL,
   IDTPAMBNFCE    VARCHAR(1)   NOT NULL,
   IDSTATUSNFCE   VARCHAR(1)   DEFAULT 'P',
   PRIMARY KEY (CDFILIAL, CDSERIENFCE, IDTPAMBNFCE, NRNOTAFISCALCE)
);
