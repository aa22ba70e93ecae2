create table ev (ts timestamp(3), tz timestamp with time zone, lt timestamp(0) with local time zone, ym interval year(3) to month, ds interval day(4) to second(2))
