-- Demo database for the example projects: sqlite3 examples/demo.sqlite < examples/demo.sql
-- Regions, customers (with non-ASCII names), products and a year of orders made up by a recursive CTE.
-- Everything is deterministic, so the demo reports are the same on every machine.

PRAGMA foreign_keys = ON;
BEGIN;

CREATE TABLE regions (
    id      INTEGER PRIMARY KEY,
    name    TEXT NOT NULL,
    manager TEXT
);

INSERT INTO regions (id, name, manager) VALUES
    (1, 'North', 'Ingrid Solberg'),
    (2, 'South', 'Matteo Ricci'),
    (3, 'East', 'Katarzyna Nowak'),
    (4, 'West', 'Seán Ó Briain'),
    (5, 'Overseas', NULL);

CREATE TABLE customers (
    id        INTEGER PRIMARY KEY,
    name      TEXT NOT NULL,
    city      TEXT NOT NULL,
    country   TEXT NOT NULL,
    region_id INTEGER NOT NULL REFERENCES regions(id),
    email     TEXT,
    since     DATE NOT NULL
);

INSERT INTO customers (id, name, city, country, region_id, email, since) VALUES
    (1,  'Björk & Söhne GmbH',        'Hamburg',    'Germany',        1, 'einkauf@bjoerk-soehne.de',  '2015-03-12'),
    (2,  'Ærø Fisk A/S',               'Ærøskøbing', 'Denmark',        1, 'ordre@aeroefisk.dk',        '2017-06-01'),
    (3,  'Øyvind Hansen',              'Tromsø',     'Norway',         1, NULL,                        '2019-11-23'),
    (4,  'Åsa Lindqvist AB',           'Göteborg',   'Sweden',         1, 'asa@lindqvist.se',          '2016-01-18'),
    (5,  'Mäkelä Oy',                  'Tampere',    'Finland',        1, 'tilaukset@makela.fi',       '2020-08-04'),
    (6,  'Þórunn Jónsdóttir',          'Reykjavík',  'Iceland',        1, 'thorunn@example.is',        '2021-02-14'),
    (7,  'Café Olé S.L.',              'Sevilla',    'Spain',          2, 'pedidos@cafeole.es',        '2014-09-30'),
    (8,  'José Núñez e Hijos',         'Málaga',     'Spain',          2, NULL,                        '2018-04-02'),
    (9,  'Trattoria Dell''Àngelo',     'Napoli',     'Italy',          2, 'info@dellangelo.it',        '2013-05-21'),
    (10, 'Γιάννης Παπαδόπουλος',       'Θεσσαλονίκη','Greece',         2, 'giannis@example.gr',        '2022-03-08'),
    (11, 'Çelik Tekstil A.Ş.',         'İzmir',      'Türkiye',        2, 'satis@celiktekstil.com.tr', '2017-12-11'),
    (12, 'Conceição & Filhos Lda.',    'Porto',      'Portugal',       2, 'geral@conceicao.pt',        '2016-07-19'),
    (13, 'Łukasz Wójcik',              'Kraków',     'Poland',         3, 'lukasz.wojcik@example.pl',  '2019-01-07'),
    (14, 'Dvořák Nábytek s.r.o.',      'Brno',       'Czechia',        3, 'obchod@dvorak-nabytek.cz',  '2015-10-26'),
    (15, 'Дмитрий Соколов',            'Москва',     'Russia',         3, NULL,                        '2020-05-15'),
    (16, 'Szabó és Társa Kft.',        'Debrecen',   'Hungary',        3, 'rendeles@szabo.hu',         '2018-02-27'),
    (17, 'Ștefan Popescu SRL',         'Cluj-Napoca','Romania',        3, 'comenzi@popescu.ro',        '2021-09-03'),
    (18, 'Ljubljanska Pekarna d.o.o.', 'Ljubljana',  'Slovenia',       3, 'narocila@pekarna.si',       '2014-11-12'),
    (19, 'Pâtisserie Lefèvre',         'Lyon',       'France',         4, 'commande@lefevre.fr',       '2012-06-05'),
    (20, 'Brasserie de l''Écluse',     'Gent',       'Belgium',        4, NULL,                        '2019-03-29'),
    (21, 'O''Connell & Daughters Ltd', 'Cork',       'Ireland',        4, 'orders@oconnell.ie',        '2017-08-16'),
    (22, 'Van der Berg B.V.',          'Utrecht',    'Netherlands',    4, 'inkoop@vanderberg.nl',      '2015-12-01'),
    (23, 'Zürcher Uhren AG',           'Zürich',     'Switzerland',    4, 'bestellung@zuercher.ch',    '2011-04-09'),
    (24, 'Llewelyn Morgan',            'Aberystwyth','United Kingdom', 4, 'llew@example.co.uk',        '2022-10-20'),
    (25, '株式会社さくら商事',            '大阪',        'Japan',          5, 'info@sakura-shoji.jp',      '2018-07-07'),
    (26, '北京长城贸易有限公司',          '北京',        'China',          5, NULL,                        '2020-01-22'),
    (27, '서울식품 주식회사',             '서울',        'South Korea',    5, 'order@seoulfood.kr',        '2021-06-30'),
    (28, 'São Paulo Importação Ltda.', 'São Paulo',  'Brazil',         5, 'compras@spimport.com.br',   '2016-03-03'),
    (29, 'Ñandú Exports S.A.',         'Asunción',   'Paraguay',       5, 'ventas@nandu.com.py',       '2019-09-09'),
    (30, 'Maple & Moose Trading',      'Montréal',   'Canada',         5, 'hello@maplemoose.ca',       '2023-01-16');

CREATE TABLE products (
    id         INTEGER PRIMARY KEY,
    name       TEXT NOT NULL,
    category   TEXT NOT NULL,
    unit_price REAL NOT NULL
);

INSERT INTO products (id, name, category, unit_price) VALUES
    (1,  'Espresso beans, 1 kg',      'Coffee',    18.90),
    (2,  'Filter coffee, 500 g',      'Coffee',     7.45),
    (3,  'Earl Grey tea, 100 bags',   'Tea',        9.80),
    (4,  'Matcha powder, 250 g',      'Tea',       24.00),
    (5,  'Dark chocolate 85 %',       'Sweets',     3.25),
    (6,  'Marzipan loaf',             'Sweets',     5.60),
    (7,  'Porcelain cup "Nordlys"',   'Tableware', 12.50),
    (8,  'Teapot, cast iron',         'Tableware', 64.00),
    (9,  'Coffee grinder <manual>',   'Equipment', 89.00),
    (10, 'Espresso machine Duo',      'Equipment', 749.00),
    (11, 'Milk frother',              'Equipment', 39.95),
    (12, 'Gift box "Fika & Friends"', 'Gifts',     45.00);

CREATE TABLE orders (
    id          INTEGER PRIMARY KEY,
    customer_id INTEGER NOT NULL REFERENCES customers(id),
    product_id  INTEGER NOT NULL REFERENCES products(id),
    order_date  DATE NOT NULL,
    created_at  TIMESTAMP NOT NULL,
    quantity    INTEGER NOT NULL,
    amount      NUMERIC(12, 2) NOT NULL,
    status      TEXT NOT NULL,
    note        TEXT
);

-- 420 orders over 2024: the numbers below only spread customers, products, days and quantities evenly.
INSERT INTO orders (id, customer_id, product_id, order_date, created_at, quantity, amount, status, note)
WITH RECURSIVE
    seq(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM seq WHERE n < 420),
    spread AS (
        SELECT n,
               1 + (n * 7 + n / 13) % 30                       AS customer_id,
               1 + ((n * 5) % 12 + n / 12) % 12                AS product_id,
               date('2024-01-01', '+' || ((n * 173 + n / 5) % 366) || ' days') AS order_date,
               (n * 37) % 600 + 420                            AS minute_of_day
        FROM seq
    ),
    raw AS (
        SELECT spread.*,
               CASE WHEN product_id IN (9, 10) THEN 1 + n % 2   -- nobody buys twenty machines
                    ELSE 1 + (n * 13) % 24 END                 AS quantity
        FROM spread
    )
SELECT raw.n,
       raw.customer_id,
       raw.product_id,
       raw.order_date,
       datetime(raw.order_date, '+' || raw.minute_of_day || ' minutes', '+' || ((raw.n * 17) % 60) || ' seconds'),
       raw.quantity,
       round(raw.quantity * p.unit_price * CASE WHEN raw.quantity >= 20 THEN 0.9 ELSE 1.0 END, 2),
       CASE WHEN raw.n % 29 = 0 THEN 'cancelled'
            WHEN raw.order_date >= '2024-12-15' THEN 'open'
            WHEN raw.n % 11 = 0 THEN 'shipped'
            ELSE 'delivered' END,
       CASE WHEN raw.n % 29 = 0 THEN 'Cancelled by customer'
            WHEN raw.quantity >= 20 THEN 'Volume discount 10 %'
            WHEN raw.n % 17 = 0 THEN 'Gift wrap, card: "Tack så mycket!"'
            ELSE NULL END
FROM raw JOIN products p ON p.id = raw.product_id;

CREATE INDEX orders_by_customer ON orders(customer_id);
CREATE INDEX orders_by_date ON orders(order_date);

COMMIT;
