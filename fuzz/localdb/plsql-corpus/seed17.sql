trigger t before insert or update of sal on emp for each row when (new.sal > 0)
begin
  if inserting then :new.comm := 0; end if;
end;