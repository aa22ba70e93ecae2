declare
  type nt is table of number;
  type va is varying array(3) of varchar2(10);
  type aa is table of nt index by varchar2(20);
  type rec is record (name varchar2(10), vals nt);
  t nt := nt(1, 2, 3);
  v va := va();
  a aa;
  r rec;
  k varchar2(20);
begin
  t.extend(2, 1); t.trim; t.delete(2); v.extend; v(1) := 'x';
  a('k') := nt(4); a('k').extend; a('k')(2) := t(t.last);
  r.vals := t; k := a.first;
  if t is not null and t <> nt(1) and v.limit = 3 and a.exists(k) then
    k := a.next(k);
  end if;
exception
  when collection_is_null or subscript_beyond_count or subscript_outside_limit then null;
end;
