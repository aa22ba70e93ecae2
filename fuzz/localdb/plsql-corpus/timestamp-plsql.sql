declare
  t timestamp(3) with time zone := timestamp '2020-01-01 10:00:00.5 +02:00';
  d interval day(3) to second(2) := interval '1 02:00:00' day to second;
  y interval year to month := interval '1-6' year to month;
  n number;
begin
  t := t + d - y;
  n := extract(hour from t);
  if systimestamp > t and d < interval '2' day then
    d := (systimestamp - t) / 2;
  end if;
end;
